// vx414-reader-emulator: plays the code reader on a pseudo-terminal. See --help.
#include <cstdint>
#include <cstdio>

#include "tools/common/emulator_main.h"
#include "tools/reader-emulator/reader_emulator.h"

int main(int argc, char** argv) {
    namespace emulator = vx414::emulator;
    constexpr const char* Program = "vx414-reader-emulator";
    const auto parsed = emulator::parseArguments(vx414::tools::arguments(argc, argv));
    if (const auto exit = vx414::tools::answerArguments(Program, parsed, emulator::usageText())) return *exit;
    emulator::ReaderEmulator reader(*parsed.options);
    const vx414::tools::StopOnSignals stopping(reader);
    if (!vx414::tools::announce(Program, reader.slavePath(), reader.error())) return 1;
    reader.run([](std::uint8_t byte) {
        std::printf("received 0x%02X\n", byte);
        std::fflush(stdout);
    });
    return 0;
}
