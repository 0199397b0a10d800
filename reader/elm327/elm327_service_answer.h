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

namespace vx414::elm327 {

// What one control unit answered.
struct UnitMessages {
    std::string sender;  // its header without blanks ("7E8", "18DAF110", "486B10"); empty with headers off
    // Each message starts with the service byte + 0x40 (41 00 …, 49 02 01 …). CAN multi-frame
    // messages come reassembled; on the older buses each frame is one message, as sent.
    std::vector<std::vector<std::uint8_t>> messages;
    // The negative response code of a refusal 7F <service> <code> (11: service not supported,
    // 12: not supported for this request, 22: conditions not correct). A "response pending"
    // (78) is never one: the session waits for the real answer.
    std::optional<std::uint8_t> refusal;
};

struct ServiceAnswer {
    LinkStatus status;     // Ok, or a failure of the whole answer (the adapter's own error messages, malformed frames)
    bool noData = false;   // "NO DATA": no unit answered the request
    std::vector<UnitMessages> units;  // in the order the units first answered
};

// Parses the whole answer to one request of `service` (the first byte sent): everything the
// adapter sent after the command, up to and including the '>' prompt if it came. `protocol`
// as for parseCodesAnswer (0 when unknown).
ServiceAnswer parseServiceAnswer(std::string_view answer, std::uint8_t service, int protocol);

}  // namespace vx414::elm327
