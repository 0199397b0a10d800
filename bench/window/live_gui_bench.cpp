// The GUI thread while the Live data window follows values, against the ELM327 emulator in
// its timed mode (--timed: a real chip's waits, bytes paced at 38,400 baud; CAN 11-bit, two
// units, its moving engine) on a pseudo-terminal, through the real device library:
//
//   LiveData/longest_gap_charting_12   the window open, polling, 12 values ticked and drawn
//                                      as strip charts: the longest the event loop went
//                                      unturned over MeasuredSeconds, as seen by a 1 ms
//                                      timer (its time is that gap). Target: <= 16 ms.
//   LiveData/ref:longest_gap_closed    the same timer over the same time with the window
//                                      closed (polling stopped): the loop's own noise.
// Counters: rounds_per_s (the rounds the window took and drew a second) and paints_per_s
// (the charts' paint events a second), so that a figure measured on a window that drew
// nothing shows as such.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QTreeWidget>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/common/emulator_process.h"
#include "bench/window/loop_gaps.h"
#include "reader/elm327/elm327_device_library.h"
#include "window/frm_live_data.h"
#include "window/platform/live_polling.h"
#include "window/strip_chart.h"

namespace {

using namespace vx414;

constexpr qint64 MeasuredSeconds = 3;
// Twelve values over two requests a round, the first six the ones a mechanic watches.
const std::vector<std::uint8_t> Followed = {0x0C, 0x0D, 0x05, 0x04, 0x11, 0x10, 0x06, 0x07, 0x0B, 0x0E, 0x0F, 0x1F};

class PaintCount final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
    int paints = 0;
};

// Turns the event loop for `milliseconds` and gives the longest time between two ticks of a
// 1 ms timer.
qint64 longestGapNs(qint64 milliseconds)
{
    const bench::LoopGaps gaps(1);
    gaps.turnUntil(milliseconds);
    return gaps.longestNs();
}

struct LiveWindow {
    explicit LiveWindow(const std::string& path)
        : device(LinkName{LinkName::Kind::Elm327Tty, path, 0, {}, 0}), polling(device),
          window(frmLiveData::Services{polling, {}, {}}, UnitSystem::Metric)
    {
        window.show();
        window.chart->installEventFilter(&paintCount);
    }

    // Starts polling and ticks the values once the car has said which it gives; false when
    // it did not within the adapter's set-up time or the charts got no points.
    bool follow()
    {
        window.start();
        QElapsedTimer clock;
        clock.start();
        while (window.list->topLevelItemCount() == 0 && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        for (const std::uint8_t pid : Followed)
            window.follow(pid, true);
        const auto& traces = window.chart->traces();
        while (clock.elapsed() < 10000 && (traces.size() < Followed.size() || traces.back().points.size() < 3))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return window.polling() && traces.size() == Followed.size() && traces.back().points.size() >= 3;
    }

    Elm327DeviceLibrary device;
    LinkLivePolling polling;
    frmLiveData window;
    PaintCount paintCount;
};

void Charting(benchmark::State& state)
{
    bench::EmulatorProcess emulator({"--car", "can11", "--timed"});
    LiveWindow live(emulator.path());
    if (!live.follow()) {
        state.SkipWithError(("no values came: " + live.window.statusLabel->text().toStdString()).c_str());
        return;
    }
    qint64 longest = 0;
    double rounds = 0;
    double paints = 0;
    for (auto _ : state) {
        const std::size_t before = live.window.chart->traces().front().points.size();
        const double firstSecond = live.window.chart->traces().front().points.back().first;
        live.paintCount.paints = 0;
        const qint64 gap = longestGapNs(MeasuredSeconds * 1000);
        const auto& points = live.window.chart->traces().front().points;
        // The first band's points over the time measured (none are dropped yet: the span is
        // a minute).
        rounds += static_cast<double>(points.size() - before) / MeasuredSeconds;
        paints += static_cast<double>(live.paintCount.paints) / MeasuredSeconds;
        if (!live.window.polling() || points.back().first <= firstSecond)
            state.SkipWithError(("polling stopped: " + live.window.statusLabel->text().toStdString()).c_str());
        longest = std::max(longest, gap);
        state.SetIterationTime(static_cast<double>(gap) / 1e9);
    }
    state.counters["longest_gap_ms"] = static_cast<double>(longest) / 1e6;
    state.counters["rounds_per_s"] = benchmark::Counter(rounds, benchmark::Counter::kAvgIterations);
    state.counters["paints_per_s"] = benchmark::Counter(paints, benchmark::Counter::kAvgIterations);
}
BENCHMARK(Charting)->Name("LiveData/longest_gap_charting_12")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void Closed(benchmark::State& state)
{
    bench::EmulatorProcess emulator({"--car", "can11", "--timed"});
    LiveWindow live(emulator.path());
    if (!live.follow()) {
        state.SkipWithError("no values came");
        return;
    }
    live.window.close();
    qint64 longest = 0;
    for (auto _ : state) {
        const qint64 gap = longestGapNs(MeasuredSeconds * 1000);
        longest = std::max(longest, gap);
        state.SetIterationTime(static_cast<double>(gap) / 1e9);
    }
    state.counters["longest_gap_ms"] = static_cast<double>(longest) / 1e6;
}
BENCHMARK(Closed)->Name("LiveData/ref:longest_gap_closed")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace
