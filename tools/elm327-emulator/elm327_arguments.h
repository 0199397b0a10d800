// The ELM327 emulator's command line.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/elm327-emulator/elm327_emulator.h"

namespace vx414::elmemu {

struct ParsedArguments {
    std::optional<Options> options;  // empty on --help or an error
    bool help = false;
    std::string error;
};

ParsedArguments parseArguments(std::span<const std::string_view> arguments);
std::string usageText();

}  // namespace vx414::elmemu
