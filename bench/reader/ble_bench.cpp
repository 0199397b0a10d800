// A read through Bluetooth LE against vx414-bluez-mock (BlueZ on a private dbus-daemon,
// the ELM327 emulator's car behind the characteristics, notifications of 20 bytes) beside
// the same read over a pseudo-terminal against vx414-elm327-emulator; the same CAN car
// with two units and the "many" codes, the same session, a later read each time:
//   BM_PtyCodes / BM_BleCodes            the codes alone (07 and 03), adapter without delays
//   BM_PtyWholeRead / BM_BleWholeRead    the codes and the services after them (readiness,
//                                        freeze frame, permanent codes, the VIN)
//   BM_PtyTimedWholeRead / BM_BleTimedWholeRead
//                                        the whole read with the adapter's own waits
//                                        (--timed: 200 ms for units that do not answer;
//                                        the pseudo-terminal also paced at 38,400 baud)
// The difference between each pair is what BlueZ, D-Bus and the notifications cost.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/common/emulator_process.h"
#include "reader/elm327/elm327_ble_transport.h"
#include "reader/elm327/elm327_session.h"
#include "reader/elm327/elm327_tty_transport.h"
#include "tools/bluez-mock/private_bus.h"

namespace {

using namespace std::chrono_literals;
using vx414::elm327::Clock;

const std::vector<std::string> Car = {"--car", "can11", "--codes", "many"};
constexpr const char* Address = "00:1D:A5:68:98:8B";

std::vector<std::string> carWith(std::vector<std::string> options) {
    options.insert(options.begin(), Car.begin(), Car.end());
    return options;
}

// One private bus for the whole program: libdbus reads DBUS_SYSTEM_BUS_ADDRESS once.
const vx414::testing::PrivateBus& bus() {
    static const vx414::testing::PrivateBus privateBus;
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", privateBus.address().c_str(), 1);
    return privateBus;
}

void readRepeatedly(benchmark::State& state, vx414::elm327::Transport& link, bool whole) {
    vx414::elm327::Session session;
    session.readVehicle(whole);
    if (!link.open(Clock::now() + 4s).isOk() || !session.readCodes(link, Clock::now() + 10s).status.isOk()) {
        state.SkipWithError("the first read failed");
        return;
    }
    for (auto _ : state) {
        const vx414::elm327::SessionResult result = session.readCodes(link, Clock::now() + 10s);
        if (!result.status.isOk() || result.stored.size() != 9 || (whole && result.vehicle.vin.empty()))
            state.SkipWithError("read failed or incomplete");
    }
}

void ptyRead(benchmark::State& state, std::vector<std::string> options, bool whole) {
    vx414::bench::EmulatorProcess emulator(carWith(std::move(options)));
    vx414::elm327::TtyTransport tty(emulator.path(), vx414::elm327::DefaultBaud);
    readRepeatedly(state, tty, whole);
}

void bleRead(benchmark::State& state, std::vector<std::string> options, bool whole) {
    const vx414::testing::ServingChild mock(vx414::bench::buildProgram("vx414-bluez-mock"), carWith(std::move(options)),
                                           {{"DBUS_SYSTEM_BUS_ADDRESS", bus().address()}});
    if (mock.firstLine() != "ready") {
        state.SkipWithError("the mock did not start");
        return;
    }
    vx414::elm327::BleTransport ble(Address);
    readRepeatedly(state, ble, whole);
}

const std::vector<std::string> NoDelays = {"--reset-ms", "0", "--search-ms", "0"};

void BM_PtyCodes(benchmark::State& state) { ptyRead(state, NoDelays, false); }
void BM_BleCodes(benchmark::State& state) { bleRead(state, NoDelays, false); }
void BM_PtyWholeRead(benchmark::State& state) { ptyRead(state, NoDelays, true); }
void BM_BleWholeRead(benchmark::State& state) { bleRead(state, NoDelays, true); }
void BM_PtyTimedWholeRead(benchmark::State& state) { ptyRead(state, {"--timed"}, true); }
void BM_BleTimedWholeRead(benchmark::State& state) { bleRead(state, {"--timed"}, true); }

BENCHMARK(BM_PtyCodes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_BleCodes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_PtyWholeRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_BleWholeRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_PtyTimedWholeRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_BleTimedWholeRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
