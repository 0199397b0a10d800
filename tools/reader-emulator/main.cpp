// vx414-reader-emulator: plays the code reader on a pseudo-terminal. See --help.
#include <cstdint>
#include <cstdio>

#include "tools/common/emulator_main.h"
#include "tools/reader-emulator/reader_emulator.h"

int main(int argc, char** argv) {
    namespace emulator = vx414::emulator;
    const auto parsed = emulator::parseArguments(vx414::tools::arguments(argc, argv));
    return vx414::tools::emulatorMain<emulator::ReaderEmulator>(
        "vx414-reader-emulator", parsed, emulator::usageText(), [](const auto& reader) { return reader.slavePath(); },
        [](emulator::ReaderEmulator& reader) {
            reader.run([](std::uint8_t byte) {
                std::printf("received 0x%02X\n", byte);
                std::fflush(stdout);
            });
        });
}
