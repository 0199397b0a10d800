// A read through an ELM327 adapter against the ELM327 emulator on a pseudo-terminal:
//   BM_Elm327RequestToReport  DeviceWriteByte(0x55) to the report delivered by
//                             ReceiveReport (the read as LINK USB makes it, minus the
//                             one-second timer), emulator without delays: set-up, service
//                             07 and service 03 of a CAN car with two units and a
//                             multi-frame answer, and the services after them
//   BM_Elm327Bare03           reference: one bare "03" request and its answer up to the
//                             prompt, over the same pseudo-terminal
//   BM_Elm327FirstExchange    the session's first read of a freshly started adapter in
//                             timed mode (--timed: ATZ 800 ms, ATWS 100 ms, 200 ms for
//                             units that do not answer, 38,400 baud; CAN, two units),
//                             beside its floor (counter FloorMs): the waits the adapter
//                             itself imposes on the read (the warm start, the search, the
//                             200 ms after each of 0100, 07 and 03) and the line time of
//                             those three requests and their answers. Target: <= 1.25x.
//   BM_Elm327LaterExchange    a later read of the same adapter, beside its floor (07 and
//                             03: their 200 ms and their line time)
//   BM_Elm327LaterWholeRead   a later read with the services after the codes (readiness,
//                             freeze frame 0 with its values, permanent codes, the VIN:
//                             17 requests more), beside BM_Elm327LaterExchange, the codes
//                             alone. Target: <= 1.5 s on CAN.
//   BM_Elm327PersonalityRead/NAME  the same later whole read behind the emulator's quirks
//                             (several PIDs refused or answered NO DATA, headers stuck
//                             off, the count ignored, a padded VIN …), each beside the
//                             cooperating adapter's: time and RequestsAfterCodes.
// BM_Elm327FirstExchange and BM_Elm327LaterExchange read the codes alone
// (Session::readVehicle(false)), as their floors count.
// The emulator is started as a child process (vx414-elm327-emulator beside bench/).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/emulator_process.h"

#include "reader/elm327/elm327_device_library.h"
#include "reader/elm327/elm327_session.h"
#include "reader/elm327/elm327_tty_transport.h"
#include "reader/link_name.h"
#include "reader/report_receiver.h"

namespace {

using namespace std::chrono_literals;
using vx414::elm327::Clock;

// The emulator's CAN car with two units and the "many" codes; by default without the
// adapter's own delays.
class EmulatorProcess : public vx414::bench::EmulatorProcess {
public:
    explicit EmulatorProcess(std::vector<std::string> options = {"--reset-ms", "0", "--search-ms", "0"})
        : vx414::bench::EmulatorProcess(withCar(std::move(options))) {}

private:
    static std::vector<std::string> withCar(std::vector<std::string> options) {
        options.insert(options.begin(), {"--car", "can11", "--codes", "many"});
        return options;
    }
};

void BM_Elm327RequestToReport(benchmark::State& state) {
    EmulatorProcess emulator;
    vx414::LinkName name;
    name.kind = vx414::LinkName::Kind::Elm327Tty;
    name.path = emulator.path();
    name.baud = vx414::elm327::DefaultBaud;
    vx414::Elm327DeviceLibrary link(name);
    vx414::ReportBuffer bytes{};
    int index = 0;
    int codes = 0;
    vx414::ReportSink sink;
    sink.secondBlockChecked = [&codes](std::span<const vx414::TroubleCode>, int total) { codes = total; };
    const auto read = [&] {
        link.DeviceOpen();
        link.DeviceClose();
        link.DeviceOpen();
        link.DeviceWriteByte(vx414::RequestByte);
        const vx414::ReceiveResult result = vx414::ReceiveReport(link, bytes, index, sink);
        link.DeviceWriteByte(vx414::EndByte);
        link.DeviceClose();
        return result.ok();
    };
    // The first read resets the adapter and searches the protocol; the figure is that of
    // every later read, as the user's second and further clicks.
    if (!read()) {
        state.SkipWithError("the first read failed");
        return;
    }
    for (auto _ : state) {
        if (!read() || codes != 11) state.SkipWithError("read failed");
    }
}
BENCHMARK(BM_Elm327RequestToReport)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Elm327Bare03(benchmark::State& state) {
    EmulatorProcess emulator;
    vx414::elm327::TtyTransport tty(emulator.path(), vx414::elm327::DefaultBaud);
    if (!tty.open(Clock::now() + 1s).isOk()) {
        state.SkipWithError("cannot open the emulator");
        return;
    }
    const auto ask = [&tty](std::string_view command) {
        std::string answer;
        const auto deadline = Clock::now() + 2s;
        if (!tty.write(command, deadline).isOk()) return std::string();
        while (answer.find('>') == std::string::npos && Clock::now() < deadline) {
            if (!tty.read(answer, 4096, deadline).isOk()) break;
        }
        return answer;
    };
    for (const char* setUp : {"ATZ\r", "ATE0\r", "ATL0\r", "ATS0\r", "ATH1\r", "ATSP0\r", "0100\r"}) ask(setUp);
    for (auto _ : state) {
        const std::string answer = ask("03\r");
        if (answer.find("43") == std::string::npos) state.SkipWithError("no answer to 03");
        benchmark::DoNotOptimize(answer.data());
    }
}
BENCHMARK(BM_Elm327Bare03)->Unit(benchmark::kMillisecond)->UseRealTime();

// The timed adapter's own waits, as useRealTiming sets them in the emulator.
constexpr double WarmStartMs = 100;
constexpr double SearchMs = 50;  // the emulator's CAN search
constexpr double AnswerTimeoutMs = 200;
constexpr double ByteMs = 10.0 * 1000.0 / 38400.0;

// A tty that counts the bytes of the requests to the car and of their answers, for the
// floor's line time.
class CountingTty final : public vx414::elm327::Transport {
public:
    explicit CountingTty(const std::string& path) : tty_(path, vx414::elm327::DefaultBaud) {}
    vx414::LinkStatus open(vx414::elm327::Deadline deadline) override { return tty_.open(deadline); }
    void close() override { tty_.close(); }
    bool isOpen() const override { return tty_.isOpen(); }
    vx414::LinkStatus write(std::string_view bytes, vx414::elm327::Deadline deadline) override {
        toCar_ = bytes == "0100\r" || bytes == "07\r" || bytes == "03\r";
        if (toCar_) requestBytes += bytes.size();
        return tty_.write(bytes, deadline);
    }
    vx414::LinkStatus read(std::string& into, std::size_t max, vx414::elm327::Deadline deadline) override {
        const std::size_t before = into.size();
        const vx414::LinkStatus status = tty_.read(into, max, deadline);
        if (toCar_) requestBytes += into.size() - before;
        return status;
    }
    void discardInput() override { tty_.discardInput(); }
    std::size_t requestBytes = 0;

private:
    vx414::elm327::TtyTransport tty_;
    bool toCar_ = false;
};

void BM_Elm327FirstExchange(benchmark::State& state) {
    double floorMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            EmulatorProcess emulator({"--timed"});
            CountingTty tty(emulator.path());
            vx414::elm327::Session session;
            session.readVehicle(false);
            if (!tty.open(Clock::now() + 1s).isOk()) {
                state.SkipWithError("cannot open the emulator");
                return;
            }
            state.ResumeTiming();
            const vx414::elm327::SessionResult result = session.readCodes(tty, Clock::now() + 10s);
            state.PauseTiming();
            if (!result.status.isOk() || result.stored.size() + result.pending.size() == 0) {
                state.SkipWithError(("read failed: " + result.status.toString()).c_str());
                return;
            }
            floorMs = WarmStartMs + SearchMs + 3 * AnswerTimeoutMs + static_cast<double>(tty.requestBytes) * ByteMs;
        }
        state.ResumeTiming();
    }
    state.counters["FloorMs"] = floorMs;
}
BENCHMARK(BM_Elm327FirstExchange)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Elm327LaterExchange(benchmark::State& state) {
    EmulatorProcess emulator({"--timed"});
    CountingTty tty(emulator.path());
    vx414::elm327::Session session;
    session.readVehicle(false);
    if (!tty.open(Clock::now() + 1s).isOk() || !session.readCodes(tty, Clock::now() + 10s).status.isOk()) {
        state.SkipWithError("the first read failed");
        return;
    }
    double floorMs = 0;
    for (auto _ : state) {
        tty.requestBytes = 0;
        const vx414::elm327::SessionResult result = session.readCodes(tty, Clock::now() + 10s);
        if (!result.status.isOk()) state.SkipWithError("read failed");
        floorMs = 2 * AnswerTimeoutMs + static_cast<double>(tty.requestBytes) * ByteMs;
    }
    state.counters["FloorMs"] = floorMs;
}
BENCHMARK(BM_Elm327LaterExchange)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_Elm327LaterWholeRead(benchmark::State& state) {
    EmulatorProcess emulator({"--timed"});
    vx414::elm327::TtyTransport tty(emulator.path(), vx414::elm327::DefaultBaud);
    vx414::elm327::Session session;
    if (!tty.open(Clock::now() + 1s).isOk() || !session.readCodes(tty, Clock::now() + 10s).status.isOk()) {
        state.SkipWithError("the first read failed");
        return;
    }
    for (auto _ : state) {
        const vx414::elm327::SessionResult result = session.readCodes(tty, Clock::now() + 10s);
        const vx414::VehicleInfo& vehicle = result.vehicle;
        if (!result.status.isOk() || result.stored.size() != 9 || vehicle.vin.empty() || vehicle.readiness.empty() ||
            !vehicle.freezeFrame || vehicle.freezeFrame->values.empty() || vehicle.permanent.empty()) {
            state.SkipWithError("read failed or incomplete");
        }
    }
}
BENCHMARK(BM_Elm327LaterWholeRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// A later whole read behind an adapter or car that cooperates less than the emulator does
// by default (its quirks), against the timed emulator: the time, and the requests after the
// codes (counter RequestsAfterCodes) beside the cooperating adapter's. Every item must be read.
void BM_Elm327PersonalityRead(benchmark::State& state, std::vector<std::string> quirks) {
    std::vector<std::string> options = {"--timed"};
    for (std::string& quirk : quirks) options.insert(options.end(), {"--quirk", std::move(quirk)});
    EmulatorProcess emulator(std::move(options));
    vx414::elm327::TtyTransport tty(emulator.path(), vx414::elm327::DefaultBaud);
    vx414::elm327::Session session;
    if (!tty.open(Clock::now() + 1s).isOk() || !session.readCodes(tty, Clock::now() + 10s).status.isOk()) {
        state.SkipWithError("the first read failed");
        return;
    }
    for (auto _ : state) {
        const vx414::elm327::SessionResult result = session.readCodes(tty, Clock::now() + 10s);
        const vx414::VehicleInfo& vehicle = result.vehicle;
        if (!result.status.isOk() || result.stored.size() != 9 || vehicle.vin.empty() || vehicle.readiness.empty() ||
            !vehicle.freezeFrame || vehicle.freezeFrame->values.size() != 10 || vehicle.permanent.empty() ||
            !vehicle.notRead.empty()) {
            state.SkipWithError("read failed or incomplete");
        }
    }
    state.counters["RequestsAfterCodes"] = static_cast<double>(session.vehicleRequests());
}
BENCHMARK_CAPTURE(BM_Elm327PersonalityRead, cooperating, std::vector<std::string>{})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_Elm327PersonalityRead, multi_nodata, std::vector<std::string>{"multi-nodata"})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_Elm327PersonalityRead, multi_refuse, std::vector<std::string>{"multi-refuse"})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_Elm327PersonalityRead, multi_short, std::vector<std::string>{"multi-short"})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_Elm327PersonalityRead, multi_engine_silent, std::vector<std::string>{"multi-engine-silent"})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_Elm327PersonalityRead, headers_stuck_off,
                  std::vector<std::string>{"headers-stuck-off", "transmission-first"})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_Elm327PersonalityRead, count_ignored, std::vector<std::string>{"count-ignored"})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_Elm327PersonalityRead, padded_vin, std::vector<std::string>{"padded-vin"})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_Elm327PersonalityRead, frame_lister, std::vector<std::string>{"frame-lister"})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
// A bus error in every read: the second 03, 01 01 or frame support of each read (the
// first read, before the loop, takes one of each).
BENCHMARK_CAPTURE(BM_Elm327PersonalityRead, transient_errors,
                  std::vector<std::string>{"transient-error=03@2", "transient-nodata=0101@2", "transient-error=020000@2"})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
