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

// Asks the services in order. The number of answer frames to wait for is given only where
// counting cannot cut an answer (CarRequests): one a unit for 01 01 and 09 00, and for the
// freeze frame's requests, each of whose answers is kept to one frame a unit; 03, 07, 0A
// and the VIN, whose lengths are not known beforehand, cost the adapter's timeout. On CAN
// the freeze frame's values go several to a request; what a unit leaves out of such a
// request is asked again one PID a request (PidReader).
// `units` are the senders that answered 07 or 03 (empty when not known; a blank sender
// means the adapter shows no headers); `protocol` as ATDPN gives it (0 when not known).
// `proofs` and `forms`: what earlier reads of the same car learnt of its answers
// (CarRequests) and of its units' ways with requests for several PIDs (PidReader); none
// when not given.
VehicleRead readVehicleAnswers(const ServiceAsker& ask, const std::vector<std::string>& units, int protocol,
                               AnswerProofs* proofs = nullptr, CombinedForms* forms = nullptr);

// The words the report gives for an item not read, from the status of the answer that was
// missing: "the read was stopped", "no answer in time", "the adapter stopped answering" …
std::string notReadReason(const LinkStatus& status);

}  // namespace vx414::elm327
