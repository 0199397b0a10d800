#include "reader/elm327/elm327_io_wait.h"

#include <cerrno>
#include <poll.h>

namespace vx414::elm327 {

int millisecondsLeft(Deadline deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 1'000'000 ? 1'000'000 : static_cast<int>(ms);
}

short waitFor(int fd, short events, Deadline deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, millisecondsLeft(deadline));
        if (ready > 0) return entry.revents;
        if (ready == 0) return 0;
        if (errno != EINTR) return POLLERR;
        if (Clock::now() >= deadline) return 0;
    }
}

}  // namespace vx414::elm327
