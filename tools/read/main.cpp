// vx414-read: reads the trouble codes once, looks codes up, shows the glossary, clears the
// codes through an ELM327 adapter. See --help and vx414-read(1).
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "reader/cleared_read.h"
#include "reader/link_name.h"
#include "reader/tty_device_library.h"
#include "tools/read/read_command.h"

namespace {

std::optional<std::string> readAnswer() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    return line;
}

}  // namespace

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
    environment.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    environment.inIsTerminal = ::isatty(STDIN_FILENO) == 1;
    environment.readAnswer = readAnswer;
    environment.links.parse = vx414::parseLinkName;
    environment.links.open = [](const std::optional<vx414::LinkName>& named) { return vx414::makeDeviceLibrary(named); };
    environment.links.canClear = [](vx414::DeviceLibrary& link) { return link.DeviceCanClear(); };
    environment.links.clearCodes = [](vx414::DeviceLibrary& link) { return link.DeviceClearCodes(); };
    environment.links.listAdapters = vx414::listAdapters;

    const int status = runReadCommand(*parsed.arguments, environment);
    if (!std::cout.flush()) {
        std::cerr << "vx414-read: cannot write the output\n";
        return ExitFailed;
    }
    return status;
}
