// The byte pipe under an ELM327 adapter: a tty (USB-serial, Bluetooth rfcomm) or a TCP
// socket (Wi-Fi adapters). Text goes out, text comes back; every call returns by its deadline.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "reader/emulator_announcement.h"
#include "reader/link_status.h"

namespace vx414::elm327 {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

class Transport {
public:
    virtual ~Transport() = default;

    // Opens the pipe: open and set up the tty, or connect the socket. NoDevice when the
    // adapter cannot be had (no such path, held by another program, refused, unknown
    // host); Timeout when the deadline passes first. Opening an open pipe is harmless.
    virtual LinkStatus open(Deadline deadline) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Writes all of bytes, or fails: Io (the line or the peer failed), Timeout.
    virtual LinkStatus write(std::string_view bytes, Deadline deadline) = 0;

    // Waits until at least one byte has arrived or the deadline has passed, then appends
    // what has arrived, at most `max` bytes, to `into`. Ok with nothing appended means the
    // deadline passed; Io means the peer closed or the line failed.
    virtual LinkStatus read(std::string& into, std::size_t max, Deadline deadline) = 0;

    // Drops whatever has arrived and not been read yet; never waits, and stops after a
    // bounded amount (a pipe that never runs dry cannot hold it).
    virtual void discardInput() = 0;

    // What the far end announced itself as when the pipe opened (an emulator on a
    // pseudo-terminal); None for a real adapter and for a pipe that cannot tell.
    virtual EmulatorKind announced() const { return EmulatorKind::None; }
};

}  // namespace vx414::elm327
