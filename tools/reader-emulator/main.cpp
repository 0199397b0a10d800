// vx414-reader-emulator: plays the code reader on a pseudo-terminal. See --help.
#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

#include "tools/reader-emulator/reader_emulator.h"

namespace {

const vx414::emulator::ReaderEmulator* running = nullptr;

extern "C" void onSignal(int /*signal*/) {
    if (running != nullptr) running->stop();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto parsed = vx414::emulator::parseArguments(arguments);
    if (parsed.help) {
        std::fputs(vx414::emulator::usageText().c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "vx414-reader-emulator: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    vx414::emulator::ReaderEmulator emulator(*parsed.options);
    if (emulator.slavePath().empty()) {
        std::fprintf(stderr, "vx414-reader-emulator: %s\n", emulator.error().c_str());
        return 1;
    }
    running = &emulator;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", emulator.slavePath().c_str());
    std::fflush(stdout);
    emulator.run([](std::uint8_t byte) {
        std::printf("received 0x%02X\n", byte);
        std::fflush(stdout);
    });
    running = nullptr;
    return 0;
}
