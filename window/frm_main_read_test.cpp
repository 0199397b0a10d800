// LINK USB and the read on Timer1's tick, driven through a scripted reader: the calls the
// reader sees, the window's state along the way, and the failure path.
#include "reader/report_encoder.h"
#include "window/testing/form_fixture.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace vx414 {
namespace {

using testing::FormFixture;

ReportContent threeCodes()
{
    // P0300 pending; C1234 and U0100 stored.
    return {{true, {{0x03, 0x00}}}, {false, {{0x52, 0x34}, {0xC1, 0x00}}}};
}

TEST(CodeReading, LinkPreparesTheWindowAndAsksForTheReport)
{
    FormFixture f;
    frmMain& m = *f.form;
    m.LabelVS[0]->hide();
    m.Label1->show();
    m.FlexList1->show();
    m.Link_Click();

    EXPECT_EQ(f.device.callText(), "Open Close Open Write(55)");
    EXPECT_FALSE(m.Link->isEnabled());
    EXPECT_TRUE(m.FlexList1->isHidden());
    EXPECT_TRUE(m.Label1->isHidden());
    EXPECT_FALSE(m.LabelVS[0]->isHidden());
    EXPECT_EQ(m.LabelVS[0]->text(), " Vehicle ?");
    EXPECT_EQ(f.pointers.window, PointerArrowHourglass);
    EXPECT_EQ(f.pointers.screen, PointerDefault);
    EXPECT_FALSE(m.picProcessBar->isHidden());
    EXPECT_TRUE(m.TimerBar->isActive());
    EXPECT_EQ(m.BarProgress, 0.0f);
    EXPECT_EQ(m.ReadingMode, 1);
    EXPECT_TRUE(m.Timer1->isActive());
    EXPECT_EQ(m.Timer1->interval(), 1000);
    EXPECT_TRUE(m.Timer1->isSingleShot() == false);  // the read itself stops it

    // A visible heading only changes its caption.
    FormFixture g;
    g.form->Link_Click();
    EXPECT_EQ(g.form->LabelVS[0]->text(), "Vehicle Search");
}

TEST(CodeReading, TheCaptionSaysDemoForAsLongAsTheLinkReachesAnEmulator)
{
    FormFixture f;
    frmMain& m = *f.form;
    EXPECT_EQ(m.windowTitle(), "CODE Definition");  // nothing announced at the start
    struct Read {
        const char* announced;  // by the device the link reaches
        const char* caption;
    };
    const Read reads[] = {
        {"reader emulator", "CODE Definition \u2014 demo: reader emulator"},
        {"ELM327 emulator", "CODE Definition \u2014 demo: ELM327 emulator"},
        {"", "CODE Definition"},  // a real reader attached in its place
    };
    for (const Read& read : reads) {
        SCOPED_TRACE(read.announced);
        f.device.linkName = read.announced;
        m.Link_Click();
        f.device.queueBytes(encodeReport(threeCodes()));
        m.Timer1_Timer();
        EXPECT_EQ(m.windowTitle(), QString::fromUtf8(read.caption));
    }
}

TEST(CodeReading, AGoodReadFillsTheTableAndEndsTheExchange)
{
    FormFixture f;
    frmMain& m = *f.form;
    m.Vehicle->addItem("generic");
    m.flexDemo->SetCols(3);
    m.flexDemo->SetRows(3);
    m.flexDemo->SetTextMatrix(1, 1, "p0300");
    m.flexDemo->SetTextMatrix(1, 2, "Random/multiple cylinder misfire detected");
    m.flexDemo->SetTextMatrix(2, 1, "U0100");
    m.flexDemo->SetTextMatrix(2, 2, "Lost communication with ECM/PCM A");
    m.LabelVS[0]->hide();
    m.Link_Click();
    f.device.clearLog();
    f.device.queueNoBytes(5);
    f.device.queueBytes(encodeReport(threeCodes()));
    m.Timer1_Timer();

    EXPECT_EQ(f.device.callText(), "Read Write(AA) Close");
    EXPECT_FALSE(m.Timer1->isActive());
    EXPECT_TRUE(m.Link->isEnabled());
    EXPECT_FALSE(m.TimerBar->isActive());
    EXPECT_TRUE(m.picProcessBar->isHidden());
    EXPECT_EQ(m.LabelVS[0]->text(), "Vehicle Search");
    EXPECT_FALSE(m.LabelVS[0]->isHidden());
    EXPECT_EQ(f.pointers.window, PointerDefault);
    EXPECT_EQ(f.beep.count, 1);
    EXPECT_TRUE(f.box.shown.empty());

    EXPECT_EQ(m.CodeCount, 3);
    EXPECT_EQ(m.FirstBlockCount, 1);
    EXPECT_EQ(m.FirstBlockKind, "Pending");
    EXPECT_EQ(m.SecondBlockKind, "Stored");
    EXPECT_EQ(m.ReportBytes[0], 0xAA);
    EXPECT_EQ(m.ReportIndex, 3 + 5 + 3);  // N1 + N2 + 3 with N1 = 3, N2 = 5

    FlexGrid& t = *m.FlexList;
    EXPECT_FALSE(t.isHidden());
    const char* expected[6][4] = {
        {"TYPE", "Vehicle", "Code", "Definition"},
        {"Pending", "generic", "P0300", "Random/multiple cylinder misfire detected"},
        // no definition: still its kind and the make, and whose code it is
        {"Stored", "generic", "C1234", "manufacturer-specific: choose the make"},
        {"Stored", "generic", "U0100", "Lost communication with ECM/PCM A"},
        {"Total: 3", "", "*", ""},
        {"", "", "*", ""},
    };
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(t.TextMatrix(r, c), expected[r][c]) << "row " << r << " col " << c;
    EXPECT_EQ(t.TextMatrix(99, 2), "*");
}

TEST(CodeReading, AFailedReadTellsTheUserAndKeepsTheLastGoodCount)
{
    FormFixture f;
    frmMain& m = *f.form;
    m.Link_Click();
    f.device.queueBytes(encodeReport(threeCodes()));
    m.Timer1_Timer();
    ASSERT_EQ(m.CodeCount, 3);
    ASSERT_FALSE(m.FlexList->isHidden());

    // Second read: a first block of two codes that passes, then a bad second checksum.
    ReportContent bad = {{false, {{0x01, 0x71}, {0x04, 0x20}}}, {true, {{0x07, 0x00}}}};
    std::vector<std::uint8_t> wire = encodeReport(bad);
    wire[wire.size() - 2] ^= 0x01;  // the second block's checksum
    m.Link_Click();
    f.device.clearLog();
    f.device.queueBytes(wire);
    f.box.answers = {MsgAnswer::Ok};
    m.Timer1_Timer();

    EXPECT_EQ(f.device.callText(), "Read Open Close Write(AA, closed)");
    ASSERT_EQ(f.box.shown.size(), 1u);
    EXPECT_EQ(f.box.shown[0].text, " USB without pending ! Please check USB cable and test again. ");
    EXPECT_EQ(f.box.shown[0].title, "         Error Msg");
    EXPECT_EQ(f.box.shown[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(f.box.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(f.box.shown[0].informative, "");  // the reader's message says it all
    EXPECT_EQ(f.end.count, 0);
    EXPECT_EQ(f.beep.count, 1);  // only the good read beeped

    EXPECT_TRUE(m.FlexList->isHidden());
    EXPECT_TRUE(m.Link->isEnabled());
    EXPECT_FALSE(m.Timer1->isActive());
    EXPECT_FALSE(m.TimerBar->isActive());
    EXPECT_TRUE(m.picProcessBar->isHidden());
    EXPECT_EQ(f.pointers.window, PointerDefault);
    EXPECT_EQ(m.ReadingMode, 1);
    // What the failed report delivered before failing stays; the count is the last good one.
    EXPECT_EQ(m.CodeCount, 3);
    EXPECT_EQ(m.FirstBlockCount, 2);
    EXPECT_EQ(m.FirstBlockKind, "Stored");
    EXPECT_EQ(m.SecondBlockKind, "Pending");
    EXPECT_EQ(m.DecodedCodes[1], "P0171");
    EXPECT_EQ(m.DecodedCodes[2], "P0420");
    EXPECT_EQ(m.DecodedCodes[3], "U0100");  // from the good read
}

TEST(CodeReading, ASilentReaderFailsAndCancelEndsTheProgram)
{
    for (const MsgAnswer answer : {MsgAnswer::Ok, MsgAnswer::Cancel}) {
        FormFixture f;
        f.form->Link_Click();
        f.device.clearLog();
        f.box.answers = {answer};
        f.form->Timer1_Timer();  // nothing queued: every read finds no byte
        EXPECT_EQ(f.device.readCount(), static_cast<std::size_t>(LeadInBound));
        EXPECT_EQ(f.device.callText(), "Read Open Close Write(AA, closed)");
        ASSERT_EQ(f.box.shown.size(), 1u);
        EXPECT_EQ(f.end.count, answer == MsgAnswer::Ok ? 0 : 1);
        EXPECT_EQ(f.form->CodeCount, 0);
        EXPECT_FALSE(f.form->Timer1->isActive());
    }
}

// Counts the ticks of a timer as the event loop delivers them, and notes when the first
// came, before any handler of the tick runs.
class TickCounter final : public QObject {
public:
    explicit TickCounter(QTimer* timer) : timer_(timer) { timer->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == timer_ && event->type() == QEvent::Timer) {
            if (ticks++ == 0)
                firstTickAfter = clock.elapsed();
        }
        return false;
    }
    QElapsedTimer clock;
    int ticks = 0;
    qint64 firstTickAfter = -1;

private:
    QTimer* timer_;
};

TEST(CodeReading, Timer1TicksOnceOneSecondAfterLinkThroughTheEventLoop)
{
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "a silent reader" : "a good read");
        FormFixture f;
        frmMain& m = *f.form;
        if (!silent)
            f.device.queueBytes(encodeReport(threeCodes()));
        TickCounter ticks(m.Timer1);
        ticks.clock.start();
        m.Link->click();
        EXPECT_EQ(ticks.ticks, 0);
        // Long enough for a second tick, had the read not stopped the timer.
        QTest::qWait(3000);
        EXPECT_EQ(ticks.ticks, 1);
        EXPECT_GE(ticks.firstTickAfter, 990);
        EXPECT_LT(ticks.firstTickAfter, 1500);
        EXPECT_FALSE(m.Timer1->isActive());
        EXPECT_TRUE(m.Link->isEnabled());
        EXPECT_EQ(f.box.shown.size(), silent ? 1u : 0u);
        EXPECT_EQ(f.beep.count, silent ? 0 : 1);
        EXPECT_EQ(f.device.written(), (std::vector<std::uint8_t>{RequestByte, EndByte}));
    }
}

TEST(CodeReading, NoCodesShowsOnlyTheTotalLine)
{
    FormFixture f;
    f.form->Link_Click();
    f.device.queueBytes(encodeReport({}));
    f.form->Timer1_Timer();
    FlexGrid& t = *f.form->FlexList;
    EXPECT_EQ(f.form->CodeCount, 0);
    EXPECT_EQ(t.TextMatrix(1, 0), "Total: 0");
    EXPECT_EQ(t.TextMatrix(1, 2), "*");
    EXPECT_EQ(t.TextMatrix(2, 2), "*");
    EXPECT_EQ(t.TextMatrix(2, 0), "");
}

}  // namespace
}  // namespace vx414
