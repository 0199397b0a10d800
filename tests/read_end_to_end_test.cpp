// LINK USB against the reader emulator on a real pseudo-terminal: the click, the tick a
// second later, the table the user reads, and the end byte the reader receives.
#include "reader/vx414/tty_device_library.h"
#include "window/frm_main.h"
#include "window/testing/recording_platform.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace vx414 {
namespace {

class Emulator {
public:
    explicit Emulator(const QStringList& arguments)
    {
        const QString dir = qEnvironmentVariable("VX414_BUILD_DIR");
        process_.start(dir + "/vx414-reader-emulator", arguments);
        if (process_.waitForStarted(5000) && process_.waitForReadyRead(5000))
            path_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~Emulator()
    {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    const QString& path() const { return path_; }
    // What the emulator logged of the bytes it received, so far.
    QString log()
    {
        process_.waitForReadyRead(200);
        return QString::fromUtf8(process_.readAll());
    }

private:
    QProcess process_;
    QString path_;
};

struct LiveForm {
    explicit LiveForm(const QString& path) : device(path.toStdString()) {}
    testing::ScriptedMessageBox box;
    testing::CountingBeep beep;
    testing::RecordingPointers pointers;
    testing::RecordingProgramEnd end;
    TtyDeviceLibrary device;
    Platform platform{box, beep, pointers, end, device, QStringLiteral("/nonexistent")};
    frmMain form{platform};
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
