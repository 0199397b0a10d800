// What the car said when its codes were cleared (OBD-II service 04), unit by unit.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "reader/link_status.h"

namespace vx414 {

struct ClearResult {
    LinkStatus status;  // Ok when at least one unit confirmed
    std::vector<std::string> confirmed;  // the senders of the confirmations, in the order they answered
    std::vector<std::string> refused;    // the senders of refusals (7F 04 22: conditions not correct)
};

// The engine's speed (service 01, PID 0C) read just before a clear: a clear is meant for a
// car with its ignition on and its engine off, and a running engine sets its codes again.
struct EngineSpeed {
    std::optional<double> rpm;  // the highest any unit gave, in rpm; empty when not read
    std::string notRead;        // why not, in words ("the car does not give it"), when empty
};

}  // namespace vx414
