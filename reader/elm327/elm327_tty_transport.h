// An ELM327 adapter on a tty: a USB-serial adapter (/dev/ttyUSB*, /dev/ttyACM*) or a
// Bluetooth one bound with rfcomm (/dev/rfcomm*).
#pragma once

#include <string>

#include "reader/elm327/elm327_transport.h"

namespace vx414::elm327 {

// The speed an ELM327 starts at unless it was told otherwise: the chip's factory default,
// and what nearly every USB clone ships with. Bluetooth and pseudo-terminals ignore it.
inline constexpr int DefaultBaud = 38400;
// The speeds tried, in this order, when the link names none: the factory default, the
// older chips' 9600, and the fast setting some clones ship with.
inline constexpr int UsualBauds[] = {38400, 9600, 115200};

// Whether `baud` is a speed the tty can be set to.
bool isSupportedBaud(int baud);

class TtyTransport final : public Transport {
public:
    TtyTransport(std::string path, int baud);
    ~TtyTransport() override;
    TtyTransport(const TtyTransport&) = delete;
    TtyTransport& operator=(const TtyTransport&) = delete;

    // Opens the tty raw and non-blocking and takes it for this program alone: a port
    // another program holds (its exclusive flag or an flock on it) is NoDevice.
    LinkStatus open(Deadline deadline) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    LinkStatus write(std::string_view bytes, Deadline deadline) override;
    LinkStatus read(std::string& into, std::size_t max, Deadline deadline) override;
    void discardInput() override;
    EmulatorKind announced() const override { return announced_; }

    const std::string& path() const { return path_; }
    int baud() const { return baud_; }
    // Takes effect at once on an open tty, else at the next open.
    void setBaud(int baud);
    // Whether the line's speed means anything: not on a pseudo-terminal, nor on a Bluetooth
    // rfcomm port, whose adapter talks at the radio link's pace whatever is set. False
    // while the tty is not open.
    bool speedMatters() const;

private:
    std::string path_;
    int baud_;
    int fd_ = -1;
    EmulatorKind announced_ = EmulatorKind::None;
};

}  // namespace vx414::elm327
