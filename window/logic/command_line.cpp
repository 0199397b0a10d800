#include "window/logic/command_line.h"

#include <string_view>

#include "reader/link_choice.h"

namespace vx414 {
namespace {

CommandLine fail(std::string message) {
    CommandLine line;
    line.action = CommandLine::Action::Fail;
    line.message = std::move(message);
    return line;
}

}  // namespace

std::string usageText() {
    return std::string("Usage: vx414 [--link LINK] [--units metric|us]\n"
                       "Read and explain the trouble codes of a VX-414 reader or an ELM327 OBD-II adapter.\n"
                       "\n"
                       "  --link LINK   where the reader or adapter is; wins over VX414_LINK\n"
                       "  --units UNITS metric (km/h, °C, kPa) or us (mph, °F, psi) for live data and\n"
                       "                the vehicle report; kept for later runs\n"
                       "  --help        show this text and end\n"
                       "  --version     show the version and end\n"
                       "\n"
                       "LINK is one of:\n") +
           LinkNameForms +
           "\n"
           "Without --link the environment variable VX414_LINK names the link, in the same forms.\n"
           "With neither, the adapter last chosen in \"Choose adapter...\" (right-click LINK USB,\n"
           "or Ctrl+K), kept in $XDG_CONFIG_HOME/vx414/link. With none of these, the program uses\n"
           "the VX-414 reader at /dev/vx414 when that exists; otherwise the first LINK USB looks\n"
           "for an ELM327 adapter on /dev/ttyUSB*, /dev/ttyACM* and /dev/rfcomm* (a port another\n"
           "program holds is skipped, each probe takes at most half a second), then among the\n"
           "Bluetooth LE devices BlueZ knows, and keeps the one that answers for the rest of\n"
           "the run.\n";
}

CommandLine parseCommandLine(std::span<const char* const> arguments, const char* environmentLink,
                             const std::string& keptFolder) {
    CommandLine line;
    std::optional<std::string> linkText;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i] != nullptr ? arguments[i] : "";
        if (argument == "--help" || argument == "-h") {
            line.action = CommandLine::Action::Help;
            line.message = usageText();
            return line;
        }
        if (argument == "--version") {
            line.action = CommandLine::Action::Version;
            line.message = std::string("vx414 ") + VX414_VERSION + "\n";
            return line;
        }
        if (argument == "--link") {
            if (i + 1 >= arguments.size() || arguments[i + 1] == nullptr) return fail("--link needs a value (see vx414 --help)");
            linkText = arguments[++i];
        } else if (argument.substr(0, 7) == "--link=") {
            linkText = std::string(argument.substr(7));
        } else if (argument == "--units" || argument.substr(0, 8) == "--units=") {
            std::string_view value;
            if (argument == "--units") {
                if (i + 1 >= arguments.size() || arguments[i + 1] == nullptr) return fail("--units needs a value (see vx414 --help)");
                value = arguments[++i];
            } else {
                value = argument.substr(8);
            }
            line.units = parseUnitSystem(value);
            if (!line.units) return fail("--units: unknown units \"" + std::string(value) + "\" (metric or us)");
        } else if (!argument.empty() && argument.front() == '-') {
            return fail("unknown option \"" + std::string(argument) + "\" (see vx414 --help)");
        } else {
            return fail("unexpected argument \"" + std::string(argument) + "\" (see vx414 --help)");
        }
    }
    LinkInUse use = chooseLinkInUse(linkText, environmentLink, keptFolder);
    if (!use.error.empty()) return fail(use.error);
    line.link = std::move(use.name);
    return line;
}

}  // namespace vx414
