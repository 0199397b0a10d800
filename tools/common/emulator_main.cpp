#include "tools/common/emulator_main.h"

#include <atomic>
#include <csignal>

namespace vx414::tools {
namespace {

std::atomic<const void*> target{nullptr};
std::atomic<StopOnSignals::Stop> stopping{nullptr};

extern "C" void onSignal(int /*signal*/) {
    const StopOnSignals::Stop stop = stopping.load();
    if (stop != nullptr) stop(target.load());
}

}  // namespace

StopOnSignals::StopOnSignals(const void* stopped, Stop stop) {
    target.store(stopped);
    stopping.store(stop);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

StopOnSignals::~StopOnSignals() {
    stopping.store(nullptr);
    target.store(nullptr);
}

bool announce(const char* program, const std::string& where, const std::string& error) {
    if (where.empty()) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return false;
    }
    std::printf("%s\n", where.c_str());
    std::fflush(stdout);
    return true;
}

}  // namespace vx414::tools
