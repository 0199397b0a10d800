// What an ELM327 adapter answers to any OBD-II request (01 00, 01 01, 02 xx, 09 02, 0A …),
// as bytes per control unit, for the decoders of each service. A pure function of the text:
// no clocks, no I/O.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/link_status.h"
#include "reader/obd/unit_messages.h"

namespace vx414::elm327 {

// The plain messages the decoders of reader/obd/ take.
using UnitMessages = obd::UnitMessages;
using ServiceAnswer = obd::ServiceAnswer;

// Parses the whole answer to one request of `service` (the first byte sent): everything the
// adapter sent after the command, up to and including the '>' prompt if it came. `protocol`
// as for parseCodesAnswer (0 when unknown).
ServiceAnswer parseServiceAnswer(std::string_view answer, std::uint8_t service, int protocol);

}  // namespace vx414::elm327
