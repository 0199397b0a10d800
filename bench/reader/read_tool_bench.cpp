// vx414-read as a user starts it against an ELM327 adapter, from process start to exit,
// beside the same program started only to print its version:
//
//   vx414-read/can_adapter   vx414-read --link elm327:PTY (the speed found, 07 and 03 of a
//                            CAN 11-bit car with two units) against the emulator's timed
//                            mode, a new emulator (a first read) each time
//   vx414-read/ref:version   vx414-read --version: starting and ending the program
#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bench/common/emulator_process.h"

namespace {

using vx414::bench::buildProgram;
using vx414::bench::EmulatorProcess;

// Runs vx414-read with `arguments`, its output to /dev/null; its exit status, or -1.
int runReadTool(std::vector<std::string> arguments, double& seconds)
{
    arguments.insert(arguments.begin(), buildProgram("vx414-read"));
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ReadToolOnCanAdapter(benchmark::State& state)
{
    for (auto _ : state) {
        EmulatorProcess emulator({"--car", "can11", "--codes", "many", "--timed"});
        double seconds = 0;
        if (runReadTool({"--link", "elm327:" + emulator.path()}, seconds) != 0)
            state.SkipWithError("vx414-read failed");
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(ReadToolOnCanAdapter)->Name("vx414-read/can_adapter")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void ReadToolVersion(benchmark::State& state)
{
    for (auto _ : state) {
        double seconds = 0;
        if (runReadTool({"--version"}, seconds) != 0)
            state.SkipWithError("vx414-read failed");
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(ReadToolVersion)->Name("vx414-read/ref:version")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

}  // namespace
