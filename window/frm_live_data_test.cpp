// The Live data window against the ELM327 emulator's moving engine, through the real device
// library and session: three values ticked are drawn as they change, a recording of five
// seconds is complete, and a read, a clear or closing the window stops polling at once.
#include "window/frm_live_data.h"

#include "reader/link_name.h"
#include "reader/report_receiver.h"
#include "window/strip_chart.h"
#include "tools/elm327-emulator/elm327_test_client.h"
#include "reader/trouble_code.h"
#include "window/frm_main.h"
#include "window/live_actions.h"
#include "window/result_export.h"
#include "window/vehicle_actions.h"
#include "window/testing/export_dialogs.h"
#include "window/testing/form_fixture.h"

#include <QElapsedTimer>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <fstream>
#include <mutex>
#include <sstream>

namespace vx414 {
namespace {

struct LiveFixture {
    LiveFixture()
    {
        link = makeDeviceLibrary(parseLinkName("elm327:" + running.emulator().address()).name);
        polling = std::make_unique<LinkLivePolling>(*link);
        std::string folder = (std::filesystem::temp_directory_path() / "vx414-live-window-XXXXXX").string();
        folder_ = mkdtemp(folder.data());
        window = std::make_unique<frmLiveData>(
            frmLiveData::Services{*polling, [this](QWidget*) { return std::optional<QString>(recordingPath()); },
                                  [this](UnitSystem units) { chosen.push_back(units); }},
            UnitSystem::Metric);
        window->show();
    }
    ~LiveFixture()
    {
        window.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    QString recordingPath() const { return QString::fromStdString((folder_ / "live.csv").string()); }
    int rows() const
    {
        int count = 0;
        for (int g = 0; g < window->list->topLevelItemCount(); ++g)
            count += window->list->topLevelItem(g)->childCount();
        return count;
    }

    elmemu::testing::RunningEmulator running{elmemu::testing::optionsFrom({"--car", "can11"})};
    std::unique_ptr<DeviceLibrary> link;
    std::unique_ptr<LinkLivePolling> polling;
    std::filesystem::path folder_;
    std::vector<UnitSystem> chosen;
    std::unique_ptr<frmLiveData> window;
};

TEST(LiveDataWindow, ChartsFollowTheTickedValuesAndARecordingIsComplete)
{
    LiveFixture x;
    ASSERT_FALSE(x.running.emulator().address().empty()) << x.running.emulator().error();
    x.window->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return x.rows() > 20; }, 10000)) << x.window->statusLabel->text().toStdString();

    // Tick engine speed, coolant and vehicle speed: three bands, each drawing what comes.
    for (const std::uint8_t pid : {std::uint8_t{0x0C}, std::uint8_t{0x05}, std::uint8_t{0x0D}})
        x.window->follow(pid, true);
    const auto& traces = x.window->chart->traces();
    ASSERT_EQ(traces.size(), 3U);
    EXPECT_EQ(traces[0].title, QStringLiteral("Engine speed"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return traces[2].points.size() >= 5; }, 5000));
    const QImage before = x.window->chart->grab().toImage();
    const double rpm = traces[0].points.back().second;
    ASSERT_TRUE(QTest::qWaitFor([&] { return traces[0].points.back().second != rpm; }, 3000))
        << "engine speed stayed at " << rpm;
    x.window->chart->repaint();
    EXPECT_NE(x.window->chart->grab().toImage(), before) << "the charts did not change";
    // The status says what is followed and how often it comes.
    const QRegularExpression following(QStringLiteral("^Following 3 values, [0-9]+(\\.[0-9])? updates a second\\.$"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return following.match(x.window->statusLabel->text()).hasMatch(); }, 3000))
        << x.window->statusLabel->text().toStdString();
    for (const StripChart::Trace& trace : traces) {
        EXPECT_GE(trace.points.front().first, trace.points.back().first - StripChart::SpanSeconds);
        EXPECT_LT(trace.points.front().first, trace.points.back().first);
    }

    // Five seconds recorded: a heading and one whole row a round, spanning them.
    x.window->toggleRecording();
    ASSERT_TRUE(x.window->recording()) << x.window->statusLabel->text().toStdString();
    EXPECT_TRUE(x.window->statusLabel->text().startsWith(QStringLiteral("Recording 3 values to ") + x.recordingPath()))
        << x.window->statusLabel->text().toStdString();
    QTest::qWait(5000);
    x.window->toggleRecording();
    EXPECT_FALSE(x.window->recording());
    std::ifstream file(x.recordingPath().toStdString());
    std::string line;
    std::getline(file, line);
    // The emulator's values carry its mark, in the file as in the title.
    EXPECT_EQ(line, "time (s),Engine speed (rpm),Coolant temperature (°C),Vehicle speed (km/h),source");
    EXPECT_EQ(x.window->windowTitle(), QStringLiteral("Live data \u2014 demo: ELM327 emulator"));
    std::vector<double> times;
    while (std::getline(file, line)) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 4) << line;
        EXPECT_TRUE(line.ends_with(",emulator")) << line;
        EXPECT_EQ(line.find(",,"), std::string::npos) << line;
        times.push_back(std::stod(line));
    }
    // At the default interval, a round every 250 ms: four rows a second at most, from the
    // recording's own start.
    ASSERT_GE(times.size(), 15U);
    EXPECT_LE(times.size(), 22U);
    EXPECT_LT(times.front(), 0.3);
    EXPECT_GE(times.back() - times.front(), 4.5);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));

    // None ticked: the window says so again, while it polls on.
    for (const std::uint8_t pid : {std::uint8_t{0x0C}, std::uint8_t{0x05}, std::uint8_t{0x0D}})
        x.window->follow(pid, false);
    EXPECT_EQ(x.window->statusLabel->text(), QStringLiteral("Tick the values to follow."));
    QTest::qWait(300);
    EXPECT_EQ(x.window->statusLabel->text(), QStringLiteral("Tick the values to follow."));
    EXPECT_TRUE(x.window->polling());

    // A read of the codes stops polling at once; so does closing the window.
    x.link->DeviceWriteByte(RequestByte);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !x.window->polling(); }, 1000));
    x.link->DeviceWriteByte(EndByte);
    x.window->start();
    ASSERT_TRUE(x.window->polling());
    QElapsedTimer clock;
    clock.start();
    x.window->close();
    EXPECT_FALSE(x.window->polling());
    EXPECT_LT(clock.elapsed(), 200) << "closing waited for the adapter";
}

// The interval chosen is the rounds' pace; Esc, Ctrl+W and Close each close the window,
// and polling stops with it.
TEST(LiveDataWindow, TheIntervalSetsThePaceAndTheWindowClosesByKeyOrButton)
{
    struct Case {
        int interval;
        double mostRounds;  // in a second
        std::function<void(frmLiveData&)> close;
    };
    const Case cases[] = {
        {3, 2, [](frmLiveData& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {1, 11, [](frmLiveData& w) { QTest::keyClick(&w, Qt::Key_W, Qt::ControlModifier); }},
        {0, 1e9, [](frmLiveData& w) { w.closeButton->click(); }},
    };
    for (const Case& c : cases) {
        LiveFixture x;
        ASSERT_FALSE(x.running.emulator().address().empty()) << x.running.emulator().error();
        EXPECT_EQ(x.window->intervalBox->currentIndex(), frmLiveData::DefaultInterval);
        x.window->intervalBox->setCurrentIndex(c.interval);
        x.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(x.window.get()));
        x.window->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return x.rows() > 20; }, 10000));
        x.window->follow(0x0C, true);
        const auto& points = x.window->chart->traces()[0].points;
        ASSERT_TRUE(QTest::qWaitFor([&] { return points.size() >= 2; }, 5000));
        QTest::qWait(1000);
        const std::size_t before = points.size();
        QTest::qWait(1000);
        EXPECT_LE(static_cast<double>(points.size() - before), c.mostRounds) << c.interval;
        c.close(*x.window);
        EXPECT_FALSE(x.window->isVisible()) << c.interval;
        EXPECT_FALSE(x.window->polling()) << c.interval;
    }
}

TEST(LiveDataWindow, UnitsConvertTheValuesShownAndAreKept)
{
    LiveFixture x;
    x.window->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return x.rows() > 20; }, 10000));
    x.window->follow(0x05, true);
    QTreeWidgetItem* coolant = nullptr;
    for (int g = 0; g < x.window->list->topLevelItemCount(); ++g) {
        for (int r = 0; r < x.window->list->topLevelItem(g)->childCount(); ++r) {
            QTreeWidgetItem* row = x.window->list->topLevelItem(g)->child(r);
            if (row->text(0) == QStringLiteral("Coolant temperature"))
                coolant = row;
        }
    }
    ASSERT_NE(coolant, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !coolant->text(1).isEmpty(); }, 3000));
    EXPECT_EQ(coolant->text(2), QStringLiteral("°C"));
    x.window->setUnits(UnitSystem::Us);
    EXPECT_EQ(coolant->text(2), QStringLiteral("°F"));
    // A cold engine: about 20 °C, 68 °F; a whole number, never "68,".
    const int fahrenheit = coolant->text(1).toInt();
    EXPECT_GE(fahrenheit, 66);
    EXPECT_LE(fahrenheit, 80);
    EXPECT_EQ(x.chosen, std::vector<UnitSystem>{UnitSystem::Us});
}

// The adapter as a clear and live polling share it: whether the clear ever found polling
// running, and how often polling started. The clear holds on until the test lets it end,
// so that Start can be tried while it runs.
class SharedAdapter final : public LivePolling, public CarClearing {
public:
    bool canPoll() override { return true; }
    void start(std::shared_ptr<LiveWatcher> watcher, std::function<void(const LinkStatus&)>) override
    {
        watcher->supported({0x0C, 0x05});
        polling = true;
        ++starts;
    }
    void stop() override { polling = false; }
    bool canClear() override { return true; }
    ClearResult clearCodes() override
    {
        clearing = true;
        if (polling)
            ++overlaps;
        std::unique_lock lock(mutex_);
        released_.wait_for(lock, std::chrono::seconds(5), [this] { return release_; });
        clearing = false;
        return {LinkStatus::ok(), {"7E8"}, {}};
    }
    void letTheClearEnd()
    {
        {
            const std::lock_guard lock(mutex_);
            release_ = true;
        }
        released_.notify_all();
    }
    std::atomic<bool> polling = false;
    std::atomic<bool> clearing = false;
    std::atomic<int> overlaps = 0;
    std::atomic<int> starts = 0;

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool release_ = false;
};

TEST(LiveDataWindow, AClearStopsPollingBeforeItUsesTheAdapterAndPollingWaitsForTheClear)
{
    const struct {
        const char* name;
        bool polling;    // the Live data window polls when the clear is asked for
        bool recording;  // and records
        const char* status;  // the start of what the window then says; "" unchanged
    } cases[] = {
        {"polling", true, false, "Stopped for a clear of the codes in the car."},
        {"recording", true, true, "Stopped for a clear of the codes in the car. 0 rows recorded in "},
        {"stopped", false, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir scratch;
        SharedAdapter adapter;  // outlives the form, whose end closes the Live data window
        testing::FormFixture f;
        testing::ScriptedSaveDialog saveDialog;
        testing::PdfPrintDialog printDialog;
        ResultExport exporter(*f.form, {f.box, saveDialog, printDialog});
        LiveActions* live = nullptr;
        VehicleActions vehicle(*f.form, exporter.menu(ResultExport::Grid::Results),
                               {f.box, f.pointers, adapter, [&exporter] { return exporter.readReport(); },
                                scratch.filePath("cleared").toStdString(), {}, {}, [&live] { live->stopForClear(); }});
        live = new LiveActions(*f.form, exporter.menu(ResultExport::Grid::Results),
                               {adapter, [&scratch](QWidget*) { return std::optional<QString>(scratch.filePath("live.csv")); },
                                scratch.filePath("config").toStdString(), {}, [&vehicle] { return vehicle.clearing(); }});
        // A read through the adapter is shown: the clear is offered.
        const auto stored = encodeTroubleCode("P0171");
        f.form->Link_Click();
        f.device.giveReport(LinkReport{LinkStatus::ok(), {}, {decodeTroubleCode((*stored)[0], (*stored)[1])}});
        f.form->Timer1_Timer();
        live->showLive();
        frmLiveData& window = *live->liveWindow();
        ASSERT_TRUE(QTest::qWaitFor([&window] { return window.list->topLevelItemCount() > 0; }, 2000));
        if (c.recording) {
            window.follow(0x0C, true);
            window.toggleRecording();
            ASSERT_TRUE(window.recording());
        }
        if (!c.polling)
            window.stop();
        const QString before = window.statusLabel->text();

        vehicle.clearAction->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&adapter] { return adapter.clearing.load(); }, 2000));
        EXPECT_FALSE(window.polling());
        EXPECT_FALSE(window.recording());
        EXPECT_TRUE(window.statusLabel->text().startsWith(*c.status ? QString::fromUtf8(c.status) : before))
            << window.statusLabel->text().toStdString();
        // Neither Start nor Record… nor Ctrl+L starts polling while the clear runs.
        const int starts = adapter.starts;
        window.start();
        window.toggleRecording();
        live->liveAction->trigger();
        EXPECT_EQ(adapter.starts, starts);
        EXPECT_EQ(window.statusLabel->text(),
                  QStringLiteral("The codes in the car are being cleared; start again once that is done."));

        adapter.letTheClearEnd();
        ASSERT_TRUE(QTest::qWaitFor([&vehicle] { return !vehicle.clearing(); }, 6000));
        EXPECT_EQ(adapter.overlaps, 0) << "the clear found polling running";
        window.start();
        EXPECT_TRUE(window.polling());
        EXPECT_EQ(adapter.starts, starts + 1);
    }
}

// The VX-414 reader (or any link without live data): the window says so and asks nothing.
class NoLivePolling final : public LivePolling {
public:
    bool canPoll() override { return false; }
    void start(std::shared_ptr<LiveWatcher>, std::function<void(const LinkStatus&)>) override { ++starts; }
    void stop() override {}
    int starts = 0;
};

TEST(LiveDataWindow, OpenedFromTheResultMenuAndCtrlLItsUnitsKeptAndUsedByTheReport)
{
    std::string folder = (std::filesystem::temp_directory_path() / "vx414-units-XXXXXX").string();
    const std::string config = mkdtemp(folder.data());
    testing::FormFixture f;
    testing::ScriptedSaveDialog saveDialog;
    testing::PdfPrintDialog printDialog;
    ResultExport exporter(*f.form, {f.box, saveDialog, printDialog});
    NoLivePolling polling;
    auto* actions = new LiveActions(*f.form, exporter.menu(ResultExport::Grid::Results),
                                    {polling, [](QWidget*) { return std::optional<QString>(); }, config});
    exporter.setUnits([actions] { return actions->units(); });
    EXPECT_TRUE(exporter.menu(ResultExport::Grid::Results)->actions().contains(actions->liveAction));
    EXPECT_EQ(actions->liveAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_EQ(actions->units(), UnitSystem::Metric);  // nothing kept yet

    actions->liveAction->trigger();
    ASSERT_NE(actions->liveWindow(), nullptr);
    EXPECT_FALSE(actions->liveWindow()->polling());
    EXPECT_EQ(polling.starts, 0);
    EXPECT_TRUE(actions->liveWindow()->statusLabel->text().contains(QStringLiteral("needs an ELM327 adapter")));

    // US units chosen there: kept, and the report's freeze frame follows.
    f.form->LastVehicle.freezeFrame = FreezeFrame{std::nullopt, {{"Coolant temperature", 90, "°C"}}};
    actions->liveWindow()->setUnits(UnitSystem::Us);
    EXPECT_EQ(loadUnitChoice(config), UnitSystem::Us);
    const ReadReport report = exporter.readReport();
    ASSERT_TRUE(report.vehicle.freezeFrame);
    EXPECT_EQ(report.vehicle.freezeFrame->values[0].unit, "°F");
    EXPECT_DOUBLE_EQ(report.vehicle.freezeFrame->values[0].value, 194);
    std::filesystem::remove_all(config);
}

}  // namespace
}  // namespace vx414
