// vx414-bluez-mock's command line: its own options, then the ELM327 emulator's (the car,
// its codes, its quirks).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tools/bluez-mock/bluez_mock.h"

namespace vx414::bluezmock {

struct ParsedMockArguments {
    std::optional<MockOptions> options;  // empty on --help or an error
    bool help = false;
    std::string error;
};

ParsedMockArguments parseMockArguments(std::span<const std::string_view> arguments);
std::string mockUsageText();

}  // namespace vx414::bluezmock
