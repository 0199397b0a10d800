// vx414-read: reads the trouble codes once, looks codes up, shows the glossary, clears the
// codes through an ELM327 adapter. See --help and vx414-read(1).
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <pthread.h>
#include <stop_token>
#include <thread>
#include <iostream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "report/cleared_read.h"
#include "reader/link_name.h"
#include "tools/read/read_command.h"

namespace {

std::optional<std::string> readAnswer() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    return line;
}

}  // namespace

// In a live run Ctrl+C and SIGTERM end the run in order (the last line written whole, the
// adapter left able to answer the next program) rather than killing it: they are blocked
// in every thread and taken by one that turns them into a stop request.
class StopOnSignals {
public:
    StopOnSignals() {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        // A closed pipe on stdout is a write error the run reports, not a silent death.
        std::signal(SIGPIPE, SIG_IGN);
        waiter_ = std::jthread([this](std::stop_token own) {
            const timespec slice{0, 100'000'000};
            while (!own.stop_requested()) {
                if (sigtimedwait(&signals_, nullptr, &slice) > 0) {
                    stop_.request_stop();
                    return;
                }
            }
        });
    }
    std::stop_token token() const { return stop_.get_token(); }

private:
    sigset_t signals_{};
    std::stop_source stop_;
    std::jthread waiter_;
};

int main(int argc, char** argv) {
    using namespace vx414::cli;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const ParsedReadArguments parsed = parseReadArguments(arguments);
    if (!parsed.arguments) {
        std::cerr << "vx414-read: " << parsed.error << " (see --help)\n";
        return ExitUsage;
    }

    CommandEnvironment environment{std::cout, std::cerr, programFolder(argc > 0 ? argv[0] : nullptr)};
    environment.clearedFolder = vx414::clearedReadsFolder();
    if (const char* link = std::getenv(vx414::LinkEnvironmentVariable)) environment.linkVariable = link;
    environment.linkChoiceFolder = vx414::unitChoiceFolder();
    environment.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    environment.inIsTerminal = ::isatty(STDIN_FILENO) == 1;
    environment.readAnswer = readAnswer;
    environment.links.parse = vx414::parseLinkName;
    environment.links.open = [](const std::optional<vx414::LinkName>& named) { return vx414::makeDeviceLibrary(named); };
    environment.links.canClear = [](vx414::DeviceLibrary& link) { return link.DeviceCanClear(); };
    environment.links.clearCodes = [](vx414::DeviceLibrary& link) { return link.DeviceClearCodes(); };
    environment.links.engineSpeed = [](vx414::DeviceLibrary& link) { return link.DeviceEngineSpeed(); };
    // A Wi-Fi adapter set up on another address than the usual one: VX414_WIFI_ADAPTER=HOST:PORT.
    environment.links.listAdapters = [] { return vx414::listAdaptersAsSetUp(); };
    environment.links.givesLiveData = [](vx414::DeviceLibrary& link) { return link.DeviceGivesLiveData(); };
    environment.links.pollLive = [](vx414::DeviceLibrary& link, std::stop_token stop, vx414::LiveWatcher& watcher) {
        return link.DevicePollLive(std::move(stop), watcher);
    };
    std::optional<StopOnSignals> signals;
    if (parsed.arguments->mode == Mode::Live) {
        signals.emplace();
        environment.interrupted = signals->token();
    }

    const int status = runReadCommand(*parsed.arguments, environment);
    if (!std::cout.flush()) {
        std::cerr << "vx414-read: cannot write the output\n";
        return ExitFailed;
    }
    return status;
}
