// A read through an ELM327 adapter against the ELM327 emulator on a pseudo-terminal, with
// no delays of its own, beside the adapter's own answer time:
//   BM_Elm327RequestToReport  DeviceWriteByte(0x55) to the report delivered by
//                             ReceiveReport (the read as LINK USB makes it, minus the
//                             one-second timer): set-up, service 07 and service 03 of a
//                             CAN car with two units and a multi-frame answer
//   BM_Elm327Bare03           reference: one bare "03" request and its answer up to the
//                             prompt, over the same pseudo-terminal
// and against the emulator with a real chip's own waits (--timed: 200 ms for further units
// after the last answer, bytes paced at 38,400 baud), the whole read beside the codes alone:
//   BM_Elm327TimedWholeRead   DeviceWriteByte(0x55) to the LinkReport (DeviceReadReport) of
//                             a later read: ATDPN, 07, 03, then readiness, freeze frame 0,
//                             permanent codes and the VIN of the same car (17 requests)
//   BM_Elm327TimedCodesOnly   reference: ATDPN, 07 and 03 as bare requests, each up to its
//                             prompt, over the same kind of pseudo-terminal: the codes' own
//                             part of a read
// The emulator is started as a child process (vx414-elm327-emulator beside bench/).
#include <benchmark/benchmark.h>

#include <climits>
#include <optional>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "reader/elm327/elm327_device_library.h"
#include "reader/elm327/elm327_tty_transport.h"
#include "reader/link_name.h"
#include "reader/report_receiver.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using vx414::elm327::Clock;

// The emulator in a child process; its first line of output is its pseudo-terminal.
class EmulatorProcess {
public:
    // The car of every figure: CAN 11-bit, two units, eleven codes. No waits of its own
    // unless `timed`.
    explicit EmulatorProcess(bool timed = false) {
        char self[PATH_MAX] = {};
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        std::string program = std::string(self, n > 0 ? static_cast<std::size_t>(n) : 0);
        program = program.substr(0, program.rfind('/')) + "/../vx414-elm327-emulator";
        int out[2];
        if (::pipe(out) != 0) throw std::runtime_error("no pipe");
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        ::posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args = {program, "--car", "can11", "--codes", "many"};
        const std::vector<std::string> waits =
            timed ? std::vector<std::string>{"--timed"} : std::vector<std::string>{"--reset-ms", "0", "--search-ms", "0"};
        args.insert(args.end(), waits.begin(), waits.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            throw std::runtime_error("cannot start " + program);
        }
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') path_ += c;
        ::close(out[0]);
        if (path_.empty()) throw std::runtime_error("the emulator printed no path");
    }
    ~EmulatorProcess() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;
    const std::string& path() const { return path_; }

private:
    pid_t pid_ = -1;
    std::string path_;
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

// A request up to its prompt, as the session reads it.
std::string askBare(vx414::elm327::TtyTransport& tty, std::string_view command) {
    std::string answer;
    const auto deadline = Clock::now() + 2s;
    if (!tty.write(command, deadline).isOk()) return {};
    while (answer.find('>') == std::string::npos && Clock::now() < deadline) {
        if (!tty.read(answer, 4096, deadline).isOk()) break;
    }
    return answer;
}

void BM_Elm327TimedWholeRead(benchmark::State& state) {
    EmulatorProcess emulator(true);
    vx414::LinkName name;
    name.kind = vx414::LinkName::Kind::Elm327Tty;
    name.path = emulator.path();
    name.baud = vx414::elm327::DefaultBaud;
    vx414::Elm327DeviceLibrary link(name);
    const auto read = [&link] {
        link.DeviceWriteByte(vx414::RequestByte);
        const std::optional<vx414::LinkReport> report = link.DeviceReadReport();
        link.DeviceWriteByte(vx414::EndByte);
        return report && report->status.isOk() && report->stored.size() == 9 && !report->vehicle.vin.empty() &&
               !report->vehicle.readiness.empty() && report->vehicle.freezeFrame && !report->vehicle.permanent.empty();
    };
    if (!read()) {
        state.SkipWithError("the first read failed");
        return;
    }
    for (auto _ : state) {
        if (!read()) state.SkipWithError("read failed or incomplete");
    }
}
BENCHMARK(BM_Elm327TimedWholeRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Elm327TimedCodesOnly(benchmark::State& state) {
    EmulatorProcess emulator(true);
    vx414::elm327::TtyTransport tty(emulator.path(), vx414::elm327::DefaultBaud);
    if (!tty.open(Clock::now() + 1s).isOk()) {
        state.SkipWithError("cannot open the emulator");
        return;
    }
    for (const char* setUp : {"ATZ\r", "ATE0\r", "ATS0\r", "ATH1\r", "0100\r"}) askBare(tty, setUp);
    for (auto _ : state) {
        askBare(tty, "ATDPN\r");
        askBare(tty, "07\r");
        const std::string answer = askBare(tty, "03\r");
        if (answer.find("43") == std::string::npos) state.SkipWithError("no answer to 03");
        benchmark::DoNotOptimize(answer.data());
    }
}
BENCHMARK(BM_Elm327TimedCodesOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
