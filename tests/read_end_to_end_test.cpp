// LINK USB against the reader emulator on a real pseudo-terminal: the click, the tick a
// second later, the table the user reads, and the end byte the reader receives.
#include "reader/vx414/tty_device_library.h"
#include "tests/testing/emulator_process.h"
#include "tests/testing/read_time.h"
#include "tests/testing/window_on_link.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace vx414 {
namespace {

// The reader emulator; path() is its pseudo-terminal.
class Emulator {
public:
    explicit Emulator(const QStringList& arguments) : process_(QStringLiteral("vx414-reader-emulator"), arguments) {}
    const QString& path() const { return process_.firstLine(); }
    // What the emulator logged of the bytes it received, so far.
    QString log() { return process_.log(); }

private:
    testing::EmulatorProcess process_;
};

struct LiveForm : testing::WindowOnLink<TtyDeviceLibrary> {
    explicit LiveForm(const QString& path) : WindowOnLink(path.toStdString()) {}
};

TEST(ReadEndToEnd, ClickLinkAndReadTheEmulatorsCodes)
{
    Emulator emulator({"--pending", "P0300", "--stored", "C1234", "U0100"});
    ASSERT_FALSE(emulator.path().isEmpty());
    LiveForm live(emulator.path());
    frmMain& m = live.form;
    m.Vehicle->addItem("generic");
    m.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m));

    QTest::mouseClick(m.Link, Qt::LeftButton);
    EXPECT_FALSE(m.Link->isEnabled());
    // The read runs on Timer1's tick, one second after the click.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.Link->isEnabled(); }, 10000));

    EXPECT_TRUE(live.box.shown.empty());
    EXPECT_EQ(live.beep.count, 1);
    EXPECT_FALSE(live.device.isOpen());
    const FlexGrid& t = *m.FlexList;
    EXPECT_FALSE(t.isHidden());
    EXPECT_EQ(t.TextMatrix(1, 2), "P0300");
    EXPECT_EQ(t.TextMatrix(2, 2), "C1234");
    EXPECT_EQ(t.TextMatrix(3, 2), "U0100");
    EXPECT_EQ(t.TextMatrix(4, 0), "Total: 3");
    EXPECT_EQ(m.FirstBlockKind, "Pending");
    EXPECT_EQ(m.SecondBlockKind, "Stored");
    EXPECT_TRUE(QTest::qWaitFor([&] { return emulator.log().contains("received 0xAA"); }, 3000));
}

// The read's time is the tick's that took the codes, not the saving's or the printing's.
TEST(ReadEndToEnd, SavedAndPrintedWithTheReadsOwnTimeAndTheDemosMark)
{
    Emulator emulator({"--pending", "P0300", "--stored", "C1234"});
    ASSERT_FALSE(emulator.path().isEmpty());
    LiveForm live(emulator.path());
    testing::TestClock clock;
    live.platform.clock = clock.function();
    frmMain& m = live.form;
    m.Vehicle->addItem("generic");
    m.Link->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.Link->isEnabled(); }, 10000));
    ASSERT_FALSE(m.FlexList->isHidden());
    clock.now.minute = 16;
    clock.now.second = 54;
    const testing::SavedRead times = testing::savedAndPrinted(m, live.box);
    EXPECT_EQ(times.json, "2026-12-10T17:15:46+01:00");
    EXPECT_TRUE(times.printed.contains("Read on: 2026-12-10 17:15:46 UTC+01:00")) << times.printed.toStdString();
    // And an emulator's read passes for a car's nowhere.
    EXPECT_EQ(times.source, "emulator");
    EXPECT_TRUE(times.printed.startsWith("Trouble code report DEMO: read from an emulator, not from a car Read on:"))
        << times.printed.toStdString();
}

TEST(ReadEndToEnd, ASilentReaderShowsTheFailureMessage)
{
    Emulator emulator({"--fault", "silent", "--pending", "P0300"});
    ASSERT_FALSE(emulator.path().isEmpty());
    LiveForm live(emulator.path());
    frmMain& m = live.form;
    m.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m));
    m.Link->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.Link->isEnabled(); }, 20000));
    ASSERT_EQ(live.box.shown.size(), 1u);
    EXPECT_EQ(live.box.shown[0].title, "         Error Msg");
    EXPECT_EQ(live.end.count, 0);
    EXPECT_TRUE(m.FlexList->isHidden());
    // The end byte reaches the reader after the failure too, through the closed link.
    EXPECT_TRUE(QTest::qWaitFor([&] { return emulator.log().contains("received 0xAA"); }, 3000));
}

TEST(ReadEndToEnd, ATricklingReaderFailsWithinSecondsAndTheNextReadWorks)
{
    // The largest report, 61 codes, one byte every 0.25 s for the first request: its 256
    // bytes would take more than a minute.
    QStringList arguments = {"--fault", "trickle", "--gap-ms", "250", "--faulty", "1", "--pending"};
    for (int i = 0; i < 61; ++i)
        arguments << QStringLiteral("P%1").arg(i, 4, 10, QLatin1Char('0'));
    Emulator emulator(arguments);
    ASSERT_FALSE(emulator.path().isEmpty());
    LiveForm live(emulator.path());
    frmMain& m = live.form;
    m.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m));

    QElapsedTimer clock;
    clock.start();
    m.Link->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.Link->isEnabled(); }, 20000));
    EXPECT_LT(clock.elapsed(), 1000 + 255 * 250);  // the tick's second, then less than the report's time
    ASSERT_EQ(live.box.shown.size(), 1u);
    EXPECT_EQ(live.box.shown[0].title, "         Error Msg");
    EXPECT_TRUE(m.FlexList->isHidden());

    // OK was the answer; the next read gets the whole report.
    m.Link->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.Link->isEnabled(); }, 20000));
    EXPECT_EQ(live.box.shown.size(), 1u);
    EXPECT_FALSE(m.FlexList->isHidden());
    EXPECT_EQ(m.FlexList->TextMatrix(1, 2), "P0000");
    EXPECT_EQ(m.FlexList->TextMatrix(61, 2), "P0060");
    EXPECT_EQ(m.FlexList->TextMatrix(62, 0), "Total: 61");
}

}  // namespace
}  // namespace vx414
