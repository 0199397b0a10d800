// A read through an ELM327 adapter as the user waits for it in the window, against the ELM327
// emulator in its timed mode (--timed) on a pseudo-terminal (bench/common/emulator_process.h), each
// beside the device library's bare exchange measured in the same run:
//
//   LINK_USB_to_table/first_read        LINK USB to the codes table, with a new adapter
//                                       (and window) each time: set-up, search, 07 and 03;
//                                       its counter vehicle_ms is LINK USB to the vehicle's
//                                       part shown (01, 02, 09, 0A after the codes)
//   LINK_USB_to_table/ref:first_exchange  the same first read through the library alone,
//                                       request byte to the codes' report, no window
//   LINK_USB_to_table/later_read        LINK USB to the codes table, the adapter set up
//                                       (vehicle_ms as above)
//   LINK_USB_to_table/ref:later_exchange  the same later read through the library alone
// Every read lets the vehicle part end before the next one starts, as a user reading the
// table would: a new request during it stops it, and the adapter is then set up afresh.
//   GUI_thread/longest_gap_in_read      the longest the event loop went unturned during a
//                                       first read, as seen by a 10 ms timer (its time is
//                                       that gap)
//   GUI_thread/ref:longest_gap_idle     the same timer's longest gap over the same time with
//                                       no read: the loop's own noise
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/emulator_process.h"
#include "bench/window/loop_gaps.h"
#include "reader/elm327/elm327_device_library.h"
#include "reader/report_receiver.h"
#include "window/frm_main.h"
#include "window/testing/recording_platform.h"

namespace {

using namespace vx414;

// The timed fake adapter: a CAN 11-bit car with two units and codes from both.
std::vector<std::string> timedAdapter()
{
    return {"--car", "can11", "--codes", "many", "--timed"};
}

LinkName adapterAt(const std::string& path)
{
    return LinkName{LinkName::Kind::Elm327Tty, path, 0, {}, 0};
}

// The real window over recording platform services and the real ELM327 library.
struct AdapterWindow {
    explicit AdapterWindow(const std::string& path)
        : device(adapterAt(path)), platform{box, beep, pointers, end, device, QStringLiteral("/nonexistent")},
          form(platform)
    {
        form.Vehicle->addItem(QStringLiteral("generic"));
        form.show();
        QCoreApplication::processEvents();
    }

    struct Read {
        double seconds = 0;         // to the codes table
        double vehicleSeconds = 0;  // to the vehicle's part shown
        double longestGapSeconds = 0;
        bool ok = false;
    };

    // LINK USB, then the event loop until LINK USB is enabled again: the table is filled (or
    // the failure box answered). A 10 ms timer notes the longest the loop was held.
    Read read()
    {
        const std::size_t failures = box.shown.size();
        const bench::LoopGaps gaps(10);
        form.Link_Click();
        gaps.turnUntil(15000, [this] { return form.Link->isEnabled(); });
        const qint64 took = gaps.elapsedNs();
        const bool ok = form.Link->isEnabled() && box.shown.size() == failures && form.CodeCount > 0;
        // The codes' table leaves the vehicle without its VIN until the vehicle part is shown.
        if (ok)
            gaps.turnUntil(15000, [this] { return !form.LastVehicle.vin.empty(); });
        const qint64 vehicleTook = gaps.elapsedNs();
        return {static_cast<double>(took) / 1e9, static_cast<double>(vehicleTook) / 1e9,
                static_cast<double>(gaps.longestNs()) / 1e9, ok && !form.LastVehicle.vin.empty()};
    }

    Elm327DeviceLibrary device;
    testing::ScriptedMessageBox box;
    testing::CountingBeep beep;
    testing::RecordingPointers pointers;
    testing::RecordingProgramEnd end;
    Platform platform;
    frmMain form;
};

// The library alone, as the window calls it, waiting for the report on this thread.
double exchange(Elm327DeviceLibrary& link, bool& ok)
{
    const auto start = std::chrono::steady_clock::now();
    link.DeviceOpen();
    link.DeviceClose();
    link.DeviceOpen();
    link.DeviceWriteByte(RequestByte);
    const std::optional<LinkReport> report = link.DeviceReadReport();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    link.DeviceWriteByte(EndByte);
    link.DeviceClose();
    const std::optional<VehicleInfo> vehicle = link.awaitVehicle();  // outside the time
    ok = report && report->status.isOk() && !report->stored.empty() && vehicle && !vehicle->vin.empty();
    return took.count();
}

void FirstRead(benchmark::State& state)
{
    double longestGap = 0;
    double vehicle = 0;
    for (auto _ : state) {
        bench::EmulatorProcess emulator(timedAdapter());
        AdapterWindow window(emulator.path());
        const AdapterWindow::Read r = window.read();
        if (!r.ok)
            state.SkipWithError("the read failed");
        longestGap = std::max(longestGap, r.longestGapSeconds);
        vehicle += r.vehicleSeconds;
        state.SetIterationTime(r.seconds);
    }
    state.counters["longest_gap_ms"] = longestGap * 1000;
    state.counters["vehicle_ms"] = benchmark::Counter(vehicle * 1000, benchmark::Counter::kAvgIterations);
}
BENCHMARK(FirstRead)->Name("LINK_USB_to_table/first_read")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void FirstExchange(benchmark::State& state)
{
    for (auto _ : state) {
        bench::EmulatorProcess emulator(timedAdapter());
        Elm327DeviceLibrary link(adapterAt(emulator.path()));
        bool ok = false;
        state.SetIterationTime(exchange(link, ok));
        if (!ok)
            state.SkipWithError("the read failed");
    }
}
BENCHMARK(FirstExchange)->Name("LINK_USB_to_table/ref:first_exchange")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void LaterRead(benchmark::State& state)
{
    bench::EmulatorProcess emulator(timedAdapter());
    AdapterWindow window(emulator.path());
    if (!window.read().ok) {
        state.SkipWithError("the first read failed");
        return;
    }
    double longestGap = 0;
    double vehicle = 0;
    for (auto _ : state) {
        const AdapterWindow::Read r = window.read();
        if (!r.ok)
            state.SkipWithError("the read failed");
        longestGap = std::max(longestGap, r.longestGapSeconds);
        vehicle += r.vehicleSeconds;
        state.SetIterationTime(r.seconds);
    }
    state.counters["longest_gap_ms"] = longestGap * 1000;
    state.counters["vehicle_ms"] = benchmark::Counter(vehicle * 1000, benchmark::Counter::kAvgIterations);
}
BENCHMARK(LaterRead)->Name("LINK_USB_to_table/later_read")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

void LaterExchange(benchmark::State& state)
{
    bench::EmulatorProcess emulator(timedAdapter());
    Elm327DeviceLibrary link(adapterAt(emulator.path()));
    bool ok = false;
    exchange(link, ok);
    for (auto _ : state) {
        state.SetIterationTime(exchange(link, ok));
        if (!ok)
            state.SkipWithError("the read failed");
    }
}
BENCHMARK(LaterExchange)->Name("LINK_USB_to_table/ref:later_exchange")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

void LongestGapInRead(benchmark::State& state)
{
    for (auto _ : state) {
        bench::EmulatorProcess emulator(timedAdapter());
        AdapterWindow window(emulator.path());
        const AdapterWindow::Read r = window.read();
        if (!r.ok)
            state.SkipWithError("the read failed");
        state.SetIterationTime(r.longestGapSeconds);
    }
}
BENCHMARK(LongestGapInRead)->Name("GUI_thread/longest_gap_in_read")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void LongestGapIdle(benchmark::State& state)
{
    for (auto _ : state) {
        const bench::LoopGaps gaps(10);
        gaps.turnUntil(700);
        state.SetIterationTime(static_cast<double>(gaps.longestNs()) / 1e9);
    }
}
BENCHMARK(LongestGapIdle)->Name("GUI_thread/ref:longest_gap_idle")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace
