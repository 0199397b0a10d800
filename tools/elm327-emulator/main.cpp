// vx414-elm327-emulator: an ELM327 adapter with a scripted car, on a pseudo-terminal or a
// TCP port. See --help.
#include <cstdio>
#include <string_view>

#include "tools/common/emulator_main.h"
#include "tools/elm327-emulator/elm327_arguments.h"

int main(int argc, char** argv) {
    namespace elmemu = vx414::elmemu;
    constexpr const char* Program = "vx414-elm327-emulator";
    const auto parsed = elmemu::parseArguments(vx414::tools::arguments(argc, argv));
    if (const auto exit = vx414::tools::answerArguments(Program, parsed, elmemu::usageText())) return *exit;
    elmemu::Elm327Emulator emulator(*parsed.options);
    const vx414::tools::StopOnSignals stopping(emulator);
    if (!vx414::tools::announce(Program, emulator.address(), emulator.error())) return 1;
    elmemu::TrafficLog log;
    if (parsed.options->verbose) {
        log = [](bool sent, std::string_view bytes) {
            std::fprintf(stderr, "%s%s\n", sent ? "-> " : "<- ", elmemu::escapeBytes(bytes).c_str());
        };
    }
    emulator.run(log);
    return 0;
}
