// LINK USB through a link whose worker gathers the whole report: the ELM327 library with a
// scripted car behind a loopback socket. The window keeps turning while the worker works,
// takes the report the moment it is there, and EXIT, a window close or another LINK USB
// during a slow read act at once, even when the worker does not heed the stop.
#include "reader/elm327/elm327_device_library.h"
#include "window/frm_main.h"
#include "window/testing/data_files.h"
#include "window/testing/recording_platform.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <thread>

namespace vx414 {
namespace {

using namespace std::chrono_literals;
using testing::CountingBeep;
using testing::RecordingPointers;
using testing::RecordingProgramEnd;
using testing::ScriptedMessageBox;

// A listening loopback socket: the adapter's pipe connects to it and is never read.
struct Listener {
    Listener()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(fd, 8);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    ~Listener() { ::close(fd); }
    int fd = -1;
    std::uint16_t port = 0;
};

// Read n answers P030n after `first` (the first read) or `later`; with heedsStop false it
// sleeps through a stop, as a worker caught in a transport's open would.
class SlowCar final : public elm327::Conversation {
public:
    explicit SlowCar(std::shared_ptr<std::atomic<int>> finished) : finished_(std::move(finished)) {}

    elm327::SessionResult readCodes(elm327::Transport&, elm327::Deadline deadline, std::stop_token stop) override
    {
        const int n = ++reads_;
        const auto until = std::min(deadline, elm327::Clock::now() + (n == 1 ? first : later));
        if (heedsStop) {
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            wake.wait_until(lock, stop, until, [] { return false; });
        } else {
            std::this_thread::sleep_until(until);
        }
        ++*finished_;
        if (stop.stop_requested())
            return {LinkStatus(LinkCode::Timeout, "stopped"), {}, {}, {}};
        const auto bytes = encodeTroubleCode("P030" + std::to_string(n));
        return {LinkStatus::ok(), {decodeTroubleCode((*bytes)[0], (*bytes)[1])}, {}, {}};
    }
    // The vehicle part, `vehicleTakes` after the codes; its units are the codes'.
    VehicleInfo readVehicle(elm327::Transport&, elm327::Deadline deadline, std::stop_token stop,
                            const elm327::SessionResult& codes) override
    {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        wake.wait_until(lock, stop, std::min(deadline, elm327::Clock::now() + vehicleTakes), [] { return false; });
        VehicleInfo told = vehicle;
        told.units = codes.vehicle.units;
        return told;
    }
    ClearResult clearCodes(elm327::Transport&, elm327::Deadline, std::stop_token) override { return {}; }
    bool answersAsElm327(elm327::Transport&, elm327::Deadline) override { return true; }
    void forget() override {}

    std::chrono::milliseconds first{0};
    std::chrono::milliseconds later{50};
    bool heedsStop = true;
    std::chrono::milliseconds vehicleTakes{0};
    VehicleInfo vehicle;

private:
    std::shared_ptr<std::atomic<int>> finished_;
    std::atomic<int> reads_{0};
};

struct AdapterForm {
    explicit AdapterForm(std::chrono::milliseconds first, bool heedsStop = true,
                         QString folder = QStringLiteral("/nonexistent"))
        : car(new SlowCar(finished))
    {
        car->first = first;
        car->heedsStop = heedsStop;
        device = std::make_unique<Elm327DeviceLibrary>(
            LinkName{LinkName::Kind::Elm327Tcp, {}, 0, "127.0.0.1", listener.port},
            std::unique_ptr<elm327::Conversation>(car));
        platform = std::make_unique<Platform>(Platform{box, beep, pointers, end, *device, std::move(folder)});
        form = std::make_unique<frmMain>(*platform);
        if (platform->programFolder == "/nonexistent")
            form->Vehicle->addItem("generic");
        else
            form->Form_Load();  // the make list and the generic definitions
    }
    ~AdapterForm()
    {
        form.reset();
        device.reset();
        // A worker left to end on its own is waited for here, so that none outlives its test.
        QElapsedTimer t;
        t.start();
        while (*finished < startedReads() && t.elapsed() < 5000)
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

    Listener listener;
    std::shared_ptr<std::atomic<int>> finished = std::make_shared<std::atomic<int>>(0);
    SlowCar* car;  // owned by the device library
    std::unique_ptr<Elm327DeviceLibrary> device;
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
            if (ticks > 0 && a.device->busy())
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
        ASSERT_TRUE(a.device->busy()) << c.what;

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
            a.device.reset();
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
        while (*a.finished < 2 && late.elapsed() < 5000)
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
    a.car->vehicleTakes = 700ms;
    a.car->vehicle.vin = "WAUZZZ8K9BA123456";
    a.car->vehicle.make = "audi";
    const auto bytes = encodeTroubleCode("P0420");
    a.car->vehicle.permanent = {decodeTroubleCode((*bytes)[0], (*bytes)[1])};
    frmMain& m = *a.form;
    m.show();
    ASSERT_EQ(m.Vehicle->currentText(), "generic");

    QElapsedTimer t;
    t.start();
    m.Link_Click();
    ASSERT_TRUE(a.waitForReadEnd());
    // The codes, as the read's own timing gives them, while the vehicle is still being read.
    EXPECT_LT(t.elapsed(), 600);
    EXPECT_TRUE(a.device->readingVehicle());
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
