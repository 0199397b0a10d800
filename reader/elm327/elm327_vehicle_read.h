// The services a read asks after the codes (07, 03): readiness (01 01), freeze frame 0
// (02), permanent codes (0A) and the VIN (09 02), each asked only of what the units say
// they support (01 00, 02 00, 09 00).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/elm327/elm327_service_answer.h"
#include "reader/obd/vehicle_assembly.h"

namespace vx414::elm327 {

// Sends one request to the car ("0101", "020C001") and gives its answer unit by unit.
using ServiceAsker = std::function<ServiceAnswer(std::string_view request)>;

struct VehicleRead {
    obd::VehicleAnswers answers;
    // The adapter stopped answering, reset or lost the car on the way: the services after
    // that one were not asked, and the adapter needs setting up again.
    bool adapterLost = false;
};

// Asks the services in order. Where the units' own answers tell how many will answer a
// request (each answer one frame), that number follows the request as one hex digit, so
// that the adapter prompts as soon as they have answered instead of waiting out its timeout
// for more; a request whose answering units are not known (02 00, 0A, 09 00, the VIN in
// several frames) costs that timeout once. An adapter that does not know the digit (it
// answers "?") is asked again without it, and not given it again. `unitCount` is the number
// of units that answered 07 or 03 (0 when not known).
VehicleRead readVehicleAnswers(const ServiceAsker& ask, std::size_t unitCount);

}  // namespace vx414::elm327
