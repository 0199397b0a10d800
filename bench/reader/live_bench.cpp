// Live data: rounds a second through the session against the ELM327 emulator with a real
// chip's waits (--timed: 38,400 baud, the adapter's 200 ms timeout), on its CAN car and on
// its ISO 9141-2 car with every answer late by 40 ms (the K-line's P2 wait of at least
// 25 ms and the frames' bytes at 10.4 kbit/s) or by 95 ms (with the P3 pause of at least
// 55 ms a unit may ask before the next request counted in too).
//   BM_LiveCan/N      N PIDs followed on CAN (up to six a request, the answer count given)
//   BM_LiveCanQuirk/NAME/6  six PIDs on CAN, several a request refused, or one bus error
//   BM_LiveSlowBus/pids:N/late_ms:D  N PIDs followed on the K-line car (one a request)
//   BM_LiveJ1850Vpw/pids:N/late_ms:D N PIDs followed on the J1850 VPW car (one a request)
// The figure is the counter RoundsPerSecond: rounds of all N values, measured over the
// rounds after the first (the discovery and the set-up are not counted);
// LastTenRoundsPerSecond the same over the last ten rounds (after a fault, the pace polling
// came back to).
// The emulator is started as a child process (vx414-elm327-emulator beside bench/).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench/common/emulator_process.h"

#include "reader/live_watcher.h"
#include "reader/elm327/elm327_session.h"
#include "reader/elm327/elm327_tty_transport.h"

namespace {

using namespace std::chrono_literals;
using vx414::elm327::Clock;

const std::vector<std::uint8_t> Pids = {0x0C, 0x0D, 0x05, 0x04, 0x11, 0x10, 0x06, 0x07, 0x0B, 0x0E, 0x0F, 0x1F};

class TimingWatcher final : public vx414::LiveWatcher {
public:
    TimingWatcher(std::size_t pids, std::size_t rounds, std::stop_source& stop)
        : pids_(Pids.begin(), Pids.begin() + static_cast<std::ptrdiff_t>(pids)), rounds_(rounds), stop_(stop) {}
    void supported(const std::vector<std::uint8_t>&) override {}
    vx414::LiveChoice choice() override { return {pids_, {}, 0ms}; }
    void sample(const vx414::obd::LiveSample& sample) override {
        if (sample.values.size() < pids_.size()) incomplete = true;
        if (count_++ == 0) first_ = Clock::now();
        last_ = Clock::now();
        times_.push_back(last_);
        if (count_ > rounds_) stop_.request_stop();
    }
    double roundsPerSecond() const {
        const double seconds = std::chrono::duration<double>(last_ - first_).count();
        return seconds > 0 ? static_cast<double>(count_ - 1) / seconds : 0;
    }
    // Over the last ten rounds alone: the pace polling settled back to after a fault.
    double lastTenPerSecond() const {
        if (times_.size() < 11) return 0;
        const double seconds = std::chrono::duration<double>(times_.back() - times_[times_.size() - 11]).count();
        return seconds > 0 ? 10.0 / seconds : 0;
    }
    bool incomplete = false;

private:
    std::vector<Clock::time_point> times_;
    std::vector<std::uint8_t> pids_;
    std::size_t rounds_;
    std::stop_source& stop_;
    std::size_t count_ = 0;
    Clock::time_point first_{}, last_{};
};

void poll(benchmark::State& state, std::vector<std::string> emulatorOptions, std::size_t rounds) {
    const auto pids = static_cast<std::size_t>(state.range(0));
    vx414::bench::EmulatorProcess emulator(std::move(emulatorOptions));
    vx414::elm327::TtyTransport tty(emulator.path(), vx414::elm327::DefaultBaud);
    if (!tty.open(Clock::now() + 1s).isOk()) {
        state.SkipWithError("cannot open the emulator");
        return;
    }
    vx414::elm327::Session session;
    double perSecond = 0;
    double lastTen = 0;
    for (auto _ : state) {
        std::stop_source stop;
        TimingWatcher watcher(pids, rounds, stop);
        const vx414::LinkStatus ended = session.pollLive(tty, stop.get_token(), watcher);
        if (!ended.isOk() || watcher.incomplete) {
            state.SkipWithError(("polling failed: " + ended.toString()).c_str());
            return;
        }
        perSecond = watcher.roundsPerSecond();
        lastTen = watcher.lastTenPerSecond();
        state.SetIterationTime(perSecond > 0 ? 1.0 / perSecond : 0);
    }
    state.counters["RoundsPerSecond"] = perSecond;
    state.counters["ValuesPerSecond"] = perSecond * static_cast<double>(pids);
    state.counters["LastTenRoundsPerSecond"] = lastTen;
}

void BM_LiveCan(benchmark::State& state) { poll(state, {"--car", "can11", "--timed"}, 40); }
BENCHMARK(BM_LiveCan)->Arg(1)->Arg(6)->Arg(12)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// Six PIDs on CAN behind an adapter whose units refuse requests for several PIDs (asked one
// a request once the first round has shown it), and behind one that answers the 20th round
// with a bus error (asked again at once; the longer requests stay).
void BM_LiveCanQuirk(benchmark::State& state, std::string quirk) {
    poll(state, {"--car", "can11", "--timed", "--quirk", std::move(quirk)}, 40);
}
BENCHMARK_CAPTURE(BM_LiveCanQuirk, multi_refuse, std::string("multi-refuse"))
    ->Arg(6)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_LiveCanQuirk, one_bus_error, std::string("transient-error=010C@20"))
    ->Arg(6)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void BM_LiveSlowBus(benchmark::State& state) {
    poll(state, {"--car", "iso9141", "--timed", "--delay", std::to_string(state.range(1))}, 10);
}
BENCHMARK(BM_LiveSlowBus)
    ->ArgsProduct({{1, 6, 12}, {40, 95}})
    ->ArgNames({"pids", "late_ms"})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// The other 10.4 kbit/s bus: J1850 VPW, one PID a request, with no pause asked between an
// answer and the next request. 13 ms late: the two frames alone (a request of 6 bytes and
// an answer of 8, about 96 us a bit on average with the start, end and separation symbols;
// docs/performance.md) and a unit that answers at once; 100 ms: a unit that takes as long
// as an interface waits for it.
void BM_LiveJ1850Vpw(benchmark::State& state) {
    poll(state, {"--car", "j1850vpw", "--timed", "--delay", std::to_string(state.range(1))}, 10);
}
BENCHMARK(BM_LiveJ1850Vpw)
    ->ArgsProduct({{1, 6, 12}, {13, 100}})
    ->ArgNames({"pids", "late_ms"})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
