#include "window/logic/command_line.h"

#include <string_view>

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
           "With neither, the program uses the VX-414 reader at /dev/vx414 when that exists;\n"
           "otherwise the first LINK USB looks for an ELM327 adapter on /dev/ttyUSB*, /dev/ttyACM*\n"
           "and /dev/rfcomm* (a port another program holds is skipped, each probe takes at most\n"
           "half a second) and keeps the one that answers for the rest of the run.\n";
}

CommandLine parseCommandLine(std::span<const char* const> arguments, const char* environmentLink) {
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
    if (linkText) {
        LinkNameParse parsed = parseLinkName(*linkText);
        if (!parsed.name) return fail("--link: " + parsed.error);
        line.link = std::move(parsed.name);
    } else if (environmentLink != nullptr && environmentLink[0] != '\0') {
        LinkNameParse parsed = parseLinkName(environmentLink);
        if (!parsed.name) return fail("VX414_LINK: " + parsed.error);
        line.link = std::move(parsed.name);
    }
    return line;
}

}  // namespace vx414
