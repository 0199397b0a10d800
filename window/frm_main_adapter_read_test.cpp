// LINK USB through a link whose worker gathers the whole report: the ELM327 library with a
// scripted car behind a loopback socket (reader/testing/slow_adapter.h). The window keeps turning while the worker works,
// takes the report the moment it is there, and EXIT, a window close or another LINK USB
// during a slow read act at once, even when the worker does not heed the stop.
#include "reader/testing/slow_adapter.h"
#include "window/frm_main.h"
#include "window/testing/data_files.h"
#include "window/testing/recording_platform.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace vx414 {
namespace {

using namespace std::chrono_literals;
using testing::CountingBeep;
using testing::RecordingPointers;
using testing::RecordingProgramEnd;
using testing::ScriptedMessageBox;

struct AdapterForm {
    explicit AdapterForm(std::chrono::milliseconds first, bool heedsStop = true,
                         QString folder = QStringLiteral("/nonexistent"))
        : adapter(testing::SlowCarScript{first, 50ms, heedsStop, 0ms, {}})
    {
        platform = std::make_unique<Platform>(Platform{box, beep, pointers, end, adapter.library(), std::move(folder)});
        form = std::make_unique<frmMain>(*platform);
        if (platform->programFolder == "/nonexistent")
            form->Vehicle->addItem("generic");
        else
            form->Form_Load();  // the make list and the generic definitions
    }
    ~AdapterForm()
    {
        form.reset();
        adapter.end();
        // A worker left to end on its own is waited for here, so that none outlives its test.
        QElapsedTimer t;
        t.start();
        while (adapter.finishedReads() < startedReads() && t.elapsed() < 5000)
            std::this_thread::sleep_for(10ms);
    }
    int startedReads() const { return expectedReads; }

    // Runs the event loop until LINK USB is enabled again (the read has ended), 8 s at most.
    bool waitForReadEnd()
    {
        QElapsedTimer t;
        t.start();
        while (!form->Link->isEnabled() && t.elapsed() < 8000)
            QTest::qWait(5);
        return form->Link->isEnabled();
    }

    testing::SlowAdapter adapter;
    ScriptedMessageBox box;
    CountingBeep beep;
    RecordingPointers pointers;
    RecordingProgramEnd end;
    std::unique_ptr<Platform> platform;
    std::unique_ptr<frmMain> form;
    int expectedReads = 1;
};

TEST(AdapterRead, TheWindowTurnsWhileTheAdapterWorksAndTakesTheReportTheMomentItIsThere)
{
    struct Case {
        const char* what;
        std::chrono::milliseconds takes;
        int timer1Ticks;  // when the table was filled
    };
    const Case cases[] = {
        // Well inside Timer1's second: the table does not wait for the tick.
        {"a quick read", 100ms, 0},
        // Past Timer1's second: the tick finds the report still being gathered and leaves
        // the window free; the table fills when the worker is done.
        {"a slow read", 1600ms, 1},
    };
    for (const Case& c : cases) {
        AdapterForm a(c.takes);
        frmMain& m = *a.form;
        int ticks = 0;
        int beatsAfterTickWhileGathering = 0;
        int ticksWhenFilled = -1;
        QObject::connect(m.Timer1, &QTimer::timeout, [&] { ++ticks; });
        QTimer beat;
        beat.setInterval(10);
        QObject::connect(&beat, &QTimer::timeout, [&] {
            if (ticks > 0 && a.adapter.busy())
                ++beatsAfterTickWhileGathering;
            if (ticksWhenFilled < 0 && m.Link->isEnabled())
                ticksWhenFilled = ticks;
        });
        beat.start();
        m.Link_Click();
        ASSERT_TRUE(a.waitForReadEnd()) << c.what;
        QTest::qWait(20);

        EXPECT_EQ(ticksWhenFilled, c.timer1Ticks) << c.what;
        if (c.timer1Ticks > 0) {
            EXPECT_GT(beatsAfterTickWhileGathering, 10) << c.what;
        }
        EXPECT_TRUE(a.box.shown.empty()) << c.what;
        EXPECT_EQ(a.beep.count, 1) << c.what;
        EXPECT_FALSE(m.FlexList->isHidden()) << c.what;
        EXPECT_EQ(m.FlexList->TextMatrix(1, 2), "P0301") << c.what;
        EXPECT_EQ(m.CodeCount, 1) << c.what;
        EXPECT_FALSE(m.Timer1->isActive()) << c.what;
        EXPECT_FALSE(m.TimerBar->isActive()) << c.what;
    }
}

TEST(AdapterRead, ExitACloseOrAnotherLinkDuringASlowReadActAtOnce)
{
    enum class Act { Exit, Close, LinkAgain };
    struct Case {
        const char* what;
        Act act;
        bool heedsStop;
    };
    const Case cases[] = {
        {"EXIT", Act::Exit, true},
        {"EXIT, worker deaf to the stop", Act::Exit, false},
        {"window closed", Act::Close, true},
        {"window closed, worker deaf to the stop", Act::Close, false},
        {"LINK USB again", Act::LinkAgain, true},
        {"LINK USB again, worker deaf to the stop", Act::LinkAgain, false},
    };
    for (const Case& c : cases) {
        AdapterForm a(3000ms, c.heedsStop);
        frmMain& m = *a.form;
        m.show();
        m.Link_Click();
        QTest::qWait(100);  // the worker is with the car now
        ASSERT_TRUE(a.adapter.busy()) << c.what;

        QElapsedTimer t;
        t.start();
        switch (c.act) {
        case Act::Exit:
            m.EXITcmd_Click();
            EXPECT_EQ(a.end.count, 1) << c.what;
            break;
        case Act::Close:
            m.close();
            a.form.reset();
            a.adapter.end();
            break;
        case Act::LinkAgain:
            m.Link_Click();
            a.expectedReads = 2;
            break;
        }
        // StopBound, with room for a loaded machine; the worker's own read has 2.9 s to go.
        EXPECT_LT(t.elapsed(), 1000) << c.what;
        if (c.act != Act::LinkAgain)
            continue;

        // The second read is the one shown, once; the first one's report never is.
        ASSERT_TRUE(a.waitForReadEnd()) << c.what;
        EXPECT_EQ(m.FlexList->TextMatrix(1, 2), "P0302") << c.what;
        EXPECT_EQ(a.beep.count, 1) << c.what;
        EXPECT_TRUE(a.box.shown.empty()) << c.what;
        QElapsedTimer late;
        late.start();
        while (a.adapter.finishedReads() < 2 && late.elapsed() < 5000)
            QTest::qWait(10);
        QTest::qWait(50);
        EXPECT_EQ(a.beep.count, 1) << c.what;
        EXPECT_EQ(m.FlexList->TextMatrix(1, 2), "P0302") << c.what;
    }
}

TEST(AdapterRead, TheCodesShowFirstThenTheVehiclesPermanentRowsAndMakeFollowWithoutASecondBeep)
{
    PlainSources sources;
    sources.glossary = testing::sampleGlossary();
    sources.sections["generic"] = {{"P0301", "Cylinder 1 misfire detected", "t"},
                                   {"P0420", "Catalyst system efficiency below threshold (bank 1)", "t"}};
    sources.sections["audi"] = {{"P0301", "Audi: misfire, cylinder 1", "t"}};
    const testing::DataFolder folder(sources);
    AdapterForm a(100ms, true, folder.path());
    a.adapter.script().vehicleTakes = 700ms;
    a.adapter.script().vehicle.vin = "WAUZZZ8K9BA123456";
    a.adapter.script().vehicle.make = "audi";
    const auto bytes = encodeTroubleCode("P0420");
    a.adapter.script().vehicle.permanent = {decodeTroubleCode((*bytes)[0], (*bytes)[1])};
    frmMain& m = *a.form;
    m.show();
    ASSERT_EQ(m.Vehicle->currentText(), "generic");

    QElapsedTimer t;
    t.start();
    m.Link_Click();
    ASSERT_TRUE(a.waitForReadEnd());
    // The codes, as the read's own timing gives them, while the vehicle is still being read.
    EXPECT_LT(t.elapsed(), 600);
    EXPECT_TRUE(a.adapter.readingVehicle());
    const struct {
        const char* when;
        std::vector<QString> kinds;  // column 0 of rows 1.., the total line last
        std::vector<QString> codes;
        QString make;
        QString p0301;
    } steps[] = {
        {"codes", {"Pending", "Total: 1"}, {"P0301", "*"}, "generic", "Cylinder 1 misfire detected"},
        {"vehicle", {"Pending", "Permanent", "Total: 2"}, {"P0301", "P0420", "*"}, "audi", "Audi: misfire, cylinder 1"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.when);
        if (step.make == "audi") {
            QElapsedTimer w;
            w.start();
            while (m.CodeCount < 2 && w.elapsed() < 3000)
                QTest::qWait(5);
            EXPECT_GE(t.elapsed(), 700);
        }
        for (std::size_t r = 0; r < step.kinds.size(); ++r) {
            const int row = static_cast<int>(r) + 1;
            EXPECT_EQ(m.FlexList->TextMatrix(row, 0), step.kinds[r]) << row;
            EXPECT_EQ(m.FlexList->TextMatrix(row, 2), step.codes[r]) << row;
        }
        EXPECT_EQ(m.Vehicle->currentText(), step.make);
        EXPECT_EQ(m.FlexList->TextMatrix(1, 3), step.p0301);
        EXPECT_FALSE(m.FlexList->isHidden());
        EXPECT_EQ(a.beep.count, 1);
        EXPECT_TRUE(m.Link->isEnabled());
        EXPECT_FALSE(m.TimerBar->isActive());
        EXPECT_TRUE(m.picProcessBar->isHidden());
        EXPECT_TRUE(a.box.shown.empty());
    }
    EXPECT_EQ(m.LastVehicle.vin, "WAUZZZ8K9BA123456");
}

}  // namespace
}  // namespace vx414
