// The Live data window's strip charts on the GUI thread:
//   StripChart/update_12_values   one round of 12 followed values added and the charts
//                                 painted at once, with a full minute of points
//                                 at 10 rounds a second shown: the GUI thread's stall per
//                                 update. Target: <= 16 ms.
//   StripChart/one_hour_at_10_per_s  an hour of rounds (36,000) of 12 values added; the
//                                 counter PointsHeld is what the charts keep afterwards:
//                                 bounded by the minute shown (601 a value), not the hour.
#include <benchmark/benchmark.h>

#include "window/strip_chart.h"

#include <QImage>

#include <cmath>
#include <vector>

namespace {

constexpr int Values = 12;
constexpr double Rate = 10;  // rounds a second

void fill(vx414::StripChart& chart, double fromSeconds, int rounds)
{
    for (int r = 0; r < rounds; ++r) {
        const double t = fromSeconds + r / Rate;
        for (int v = 0; v < Values; ++v)
            chart.add(static_cast<std::size_t>(v), t, 800 + 400 * std::sin(t * (1 + v * 0.1)));
    }
}

std::vector<vx414::StripChart::Band> bands()
{
    std::vector<vx414::StripChart::Band> out;
    for (int v = 0; v < Values; ++v)
        out.push_back({QStringLiteral("Value %1").arg(v), "rpm", 0});
    return out;
}

void ChartUpdate(benchmark::State& state)
{
    vx414::StripChart chart;
    chart.resize(900, 520);
    chart.setBands(bands());
    fill(chart, 0, static_cast<int>(60 * Rate));
    // Painted into an image as the screen would be: the offscreen platform exposes no
    // window, on which repaint() would paint nothing.
    QImage screen(chart.size(), QImage::Format_ARGB32_Premultiplied);
    double t = 60;
    for (auto _ : state) {
        t += 1 / Rate;
        for (int v = 0; v < Values; ++v)
            chart.add(static_cast<std::size_t>(v), t, 800 + 400 * std::sin(t));
        chart.render(&screen);
    }
    benchmark::DoNotOptimize(screen.constBits());
}
BENCHMARK(ChartUpdate)->Name("StripChart/update_12_values")->Unit(benchmark::kMillisecond);

void ChartHour(benchmark::State& state)
{
    std::size_t held = 0;
    for (auto _ : state) {
        vx414::StripChart chart;
        chart.setBands(bands());
        fill(chart, 0, static_cast<int>(3600 * Rate));
        held = 0;
        for (const auto& trace : chart.traces())
            held += trace.points.size();
    }
    state.counters["PointsHeld"] = static_cast<double>(held);
}
BENCHMARK(ChartHour)->Name("StripChart/one_hour_at_10_per_s")->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
