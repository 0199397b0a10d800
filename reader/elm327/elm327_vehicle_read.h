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

// Asks the services in order. The adapter waits its timeout after the last answer for
// further units unless the request says how many answer frames to wait for (one hex digit
// after it), so that digit is given wherever the frames to come are known and never too
// few: one a unit for 01 00, 02 00 and 09 00 (every unit that answered 07 or 03 at most),
// for 01 01 and each 02 value (the units that list the PID), the VIN's frames of the units
// that list it (three on CAN, five on the older buses). Only 0A, whose answers may take
// any number of frames, costs that timeout. An adapter that does not know the digit (it
// answers "?") is asked again without it, and not given it again. `unitCount` is the number
// of units that answered 07 or 03 (0 when not known); `protocol` as ATDPN gives it (6 and
// above CAN; 0 when not known, and then the VIN's frames are not counted).
VehicleRead readVehicleAnswers(const ServiceAsker& ask, std::size_t unitCount, int protocol);

}  // namespace vx414::elm327
