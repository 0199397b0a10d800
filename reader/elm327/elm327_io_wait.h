// The bounded waits the ELM327 transports share: poll one descriptor until it is ready or
// the deadline has passed.
#pragma once

#include "reader/elm327/elm327_transport.h"

namespace vx414::elm327 {

// Milliseconds left until `deadline`, rounded up so that a wait never ends early; 0 when
// it has passed.
int millisecondsLeft(Deadline deadline);

// Waits until `fd` is ready for `events` (POLLIN or POLLOUT), the deadline passes, or the
// descriptor fails. Returns the revents seen, 0 on timeout.
short waitFor(int fd, short events, Deadline deadline);

}  // namespace vx414::elm327
