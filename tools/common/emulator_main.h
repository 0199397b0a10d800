// What every emulator's main does around its serving: its arguments answered (--help, a
// bad option), SIGTERM and SIGINT stopping it, SIGPIPE ignored, and the one line a client
// waits for before it connects.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx414::tools {

// The program's arguments, without its name.
inline std::vector<std::string_view> arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

// --help: the usage on standard output, exit 0; a bad argument: one line on standard error,
// exit 2; nothing when the program goes on. `Parsed` has help, options and error.
template <class Parsed>
std::optional<int> answerArguments(const char* program, const Parsed& parsed, const std::string& usage) {
    if (parsed.help) {
        std::fputs(usage.c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "%s: %s (see --help)\n", program, parsed.error.c_str());
        return 2;
    }
    return std::nullopt;
}

// While it lives, SIGTERM and SIGINT call `stop` (which must be safe in a signal handler);
// SIGPIPE is ignored, so a client that goes away is a failed write, not the program's end.
// One at a time.
class StopOnSignals {
public:
    using Stop = void (*)(const void* target);
    StopOnSignals(const void* target, Stop stop);
    // An emulator: its stop() at a signal.
    template <class Emulator>
    explicit StopOnSignals(const Emulator& emulator)
        : StopOnSignals(&emulator, [](const void* target) { static_cast<const Emulator*>(target)->stop(); }) {}
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;
};

// Prints where the emulator listens, alone on standard output's first line, and flushes it;
// when it could not start (`where` empty), prints `error` on standard error instead and
// returns false.
bool announce(const char* program, const std::string& where, const std::string& error);

// An emulator's whole main: its arguments answered, then the emulator made from its
// options, `where` it listens announced (its error said, exit 1, when it could not start),
// and `serve` run until a signal stops it (exit 0).
template <class Emulator, class Parsed, class Where, class Serve>
int emulatorMain(const char* program, const Parsed& parsed, const std::string& usage, Where where, Serve serve) {
    if (const auto exit = answerArguments(program, parsed, usage)) return *exit;
    Emulator emulator(*parsed.options);
    const StopOnSignals stopping(emulator);
    if (!announce(program, where(emulator), emulator.error())) return 1;
    serve(emulator);
    return 0;
}

}  // namespace vx414::tools
