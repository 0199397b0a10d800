// What the control units answered to one OBD-II request, as plain messages: who sent each
// and its bytes. Every decoder in reader/obd/ takes these, whatever adapter carried them
// (the ELM327 back-end's parser makes them from the adapter's text).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reader/link_status.h"

namespace vx414::obd {

// What one control unit answered.
struct UnitMessages {
    std::string sender;  // its address as the link gives it ("7E8", "18DAF110", "486B10"); may be empty
    // Each message starts with the service byte + 0x40 (41 00 …, 49 02 01 …). CAN multi-frame
    // messages come reassembled; on the older buses each frame is one message, as sent.
    std::vector<std::vector<std::uint8_t>> messages;
    // The negative response code of a refusal 7F <service> <code> (11: service not supported,
    // 12: not supported for this request, 22: conditions not correct). A "response pending"
    // (78) is never one: the link waits for the real answer.
    std::optional<std::uint8_t> refusal;
};

// The whole answer to one request.
struct ServiceAnswer {
    LinkStatus status;     // Ok, or a failure of the whole answer (the link's own errors, malformed frames)
    bool noData = false;   // no unit answered the request
    std::vector<UnitMessages> units;  // in the order the units first answered
};

}  // namespace vx414::obd
