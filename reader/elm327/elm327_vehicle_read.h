// The services a read asks after the codes (07, 03): readiness (01 01), freeze frame 0
// (02), permanent codes (0A) and the VIN (09 02), the last three asked only of what the
// units say they support (02 00, 09 00), several PIDs to a request on CAN.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "reader/elm327/elm327_pid_request.h"
#include "reader/elm327/elm327_service_answer.h"
#include "reader/obd/vehicle_assembly.h"

namespace vx414::elm327 {

struct VehicleRead {
    // With answers.notRead: each item asked and not learned, and why.
    obd::VehicleAnswers answers;
    // The adapter stopped answering, reset or lost the car on the way (or the read was
    // stopped, or its time ran out): the services after that one were not asked.
    bool adapterLost = false;
    std::size_t requests = 0;  // requests sent to the car
};

// Asks the services in order. The number of answer frames to wait for is given wherever
// it is known and never too few (CarRequests): one a unit for 01 01 and 09 00 (every unit
// that answered 07 or 03 at most), the frames each unit's answer takes for 02 (the units
// that answered 07 or 03 until the PIDs they support are known), the VIN's frames of the
// units that list it (three on CAN, five on the older buses). Only 0A, whose answers may
// take any number of frames, costs the adapter's timeout. On CAN (protocol 6 and above)
// 02 00 and 02 02 go in one request, and the freeze frame's values three to a request; a
// unit that refuses that form or answers it short has the rest asked one PID a request.
// `unitCount` is the number of units that answered 07 or 03 (0 when not known); `protocol`
// as ATDPN gives it (0 when not known: one PID a request, and the VIN's frames are not
// counted).
VehicleRead readVehicleAnswers(const ServiceAsker& ask, std::size_t unitCount, int protocol);

// The words the report gives for an item not read, from the status of the answer that was
// missing: "the read was stopped", "no answer in time", "the adapter stopped answering" …
std::string notReadReason(const LinkStatus& status);

}  // namespace vx414::elm327
