// vx414-elm327-emulator: an ELM327 adapter with a scripted car, on a pseudo-terminal or a
// TCP port. See --help.
#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

#include "tools/elm327-emulator/elm327_arguments.h"

namespace {

const vx414::elmemu::Elm327Emulator* running = nullptr;

extern "C" void onSignal(int /*signal*/) {
    if (running != nullptr) running->stop();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto parsed = vx414::elmemu::parseArguments(arguments);
    if (parsed.help) {
        std::fputs(vx414::elmemu::usageText().c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "vx414-elm327-emulator: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    vx414::elmemu::Elm327Emulator emulator(*parsed.options);
    if (emulator.address().empty()) {
        std::fprintf(stderr, "vx414-elm327-emulator: %s\n", emulator.error().c_str());
        return 1;
    }
    running = &emulator;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", emulator.address().c_str());
    std::fflush(stdout);
    vx414::elmemu::TrafficLog log;
    if (parsed.options->verbose) {
        log = [](bool sent, std::string_view bytes) {
            std::fprintf(stderr, "%s%s\n", sent ? "-> " : "<- ", vx414::elmemu::escapeBytes(bytes).c_str());
        };
    }
    emulator.run(log);
    running = nullptr;
    return 0;
}
