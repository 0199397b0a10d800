// vx414-elm327-emulator: an ELM327 adapter with a scripted car, on a pseudo-terminal or a
// TCP port. See --help.
#include <cstdio>
#include <string_view>

#include "tools/common/emulator_main.h"
#include "tools/elm327-emulator/elm327_arguments.h"

int main(int argc, char** argv) {
    namespace elmemu = vx414::elmemu;
    const auto parsed = elmemu::parseArguments(vx414::tools::arguments(argc, argv));
    return vx414::tools::emulatorMain<elmemu::Elm327Emulator>(
        "vx414-elm327-emulator", parsed, elmemu::usageText(), [](const auto& adapter) { return adapter.address(); },
        [&parsed](elmemu::Elm327Emulator& adapter) {
            elmemu::TrafficLog log;
            if (parsed.options->verbose) {
                log = [](bool sent, std::string_view bytes) {
                    std::fprintf(stderr, "%s%s\n", sent ? "-> " : "<- ", elmemu::escapeBytes(bytes).c_str());
                };
            }
            adapter.run(log);
        });
}
