// What the car said when its codes were cleared (OBD-II service 04), unit by unit.
#pragma once

#include <string>
#include <vector>

#include "reader/link_status.h"

namespace vx414 {

struct ClearResult {
    LinkStatus status;  // Ok when at least one unit confirmed
    std::vector<std::string> confirmed;  // the senders of the confirmations, in the order they answered
    std::vector<std::string> refused;    // the senders of refusals (7F 04 22: conditions not correct)
};

}  // namespace vx414
