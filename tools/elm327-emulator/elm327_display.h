// How the ELM327 shows what the car's units sent: one text line per frame (or, for a CAN
// multi-frame answer with headers off, the length line and the numbered lines), as the
// settings of headers, spaces and CAN formatting ask.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "tools/elm327-emulator/elm327_car.h"

namespace vx414::elmemu {

struct DisplaySettings {
    bool headers = false;
    bool spaces = true;
    bool canFormatting = true;
    bool lowerCase = false;  // a clone's hex digits
};

// The lines for the messages of the units talking on `protocol`, without line ends.
std::vector<std::string> displayLines(const DisplaySettings& settings, int protocol,
                                      const std::vector<EcuMessage>& messages);

}  // namespace vx414::elmemu
