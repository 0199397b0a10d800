// One ELM327 adapter's conversation: setting it up and asking the car for its codes, over
// any Transport. Runs on a worker thread of the device library; bounded by a deadline and
// stoppable at any wait.
#pragma once

#include <stop_token>
#include <vector>

#include "reader/elm327/elm327_transport.h"
#include "reader/link_status.h"
#include "reader/trouble_code.h"

namespace vx414::elm327 {

struct SessionResult {
    LinkStatus status;
    std::vector<TroubleCode> pending;  // service 07, each code once
    std::vector<TroubleCode> stored;   // service 03, each code once
};

class Session {
public:
    // One exchange over an open transport: sets the adapter up (a full reset the first time
    // and after a failure; a short set-up on later reads, with the protocol found before),
    // then asks for pending codes (07) and stored codes (03). Ends by `deadline`, or soon
    // after `stop` is requested.
    SessionResult readCodes(Transport& link, Deadline deadline, std::stop_token stop = {});

    // Service 04 after the same set-up: Ok only when the car confirmed (44).
    LinkStatus clearCodes(Transport& link, Deadline deadline, std::stop_token stop = {});

    // Whether an ELM327 answers on this open transport (used to find the adapter among the
    // serial ports); bounded by `deadline`.
    static bool answersAsElm327(Transport& link, Deadline deadline);

    // The protocol number the adapter found (1 to 12), 0 before the first success.
    int protocol() const { return protocol_; }

    // Forgets the set-up: the next exchange starts with a full reset.
    void forget() { protocol_ = 0; setUp_ = false; }

private:
    int protocol_ = 0;
    bool setUp_ = false;
};

}  // namespace vx414::elm327
