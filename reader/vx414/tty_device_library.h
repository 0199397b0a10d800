// The device library over a tty: the reader on a USB-serial link, or the emulator's
// pseudo-terminal.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "reader/device_library.h"
#include "reader/link_name.h"
#include "reader/link_status.h"

namespace vx414 {

// Where the link looks for the reader right now: $VX414_LINK when set and not empty,
// else /dev/vx414.
std::string linkPath();

class TtyDeviceLibrary final : public DeviceLibrary {
public:
    // Looks the path up afresh at every open, so a reader plugged in later is found.
    TtyDeviceLibrary() = default;
    // Always opens this path (tests).
    explicit TtyDeviceLibrary(std::string path) : fixedPath_(std::move(path)) {}
    ~TtyDeviceLibrary() override;
    TtyDeviceLibrary(const TtyDeviceLibrary&) = delete;
    TtyDeviceLibrary& operator=(const TtyDeviceLibrary&) = delete;

    void DeviceOpen() override;
    void DeviceClose() override;
    LinkByte DeviceReadByte() override;
    void DeviceWriteByte(std::uint8_t byte) override;
    std::string DeviceLinkName() const override { return linkName_; }

    bool isOpen() const { return fd_ >= 0; }
    // The outcome of the last open, or the last read or write error since (NoDevice, Io).
    LinkStatus lastStatus() const { return status_; }

private:
    bool writeOnOpenLink(std::uint8_t byte);

    std::string fixedPath_;
    int fd_ = -1;
    std::string linkName_;
    LinkStatus status_;
    // Bytes already taken from the tty and not yet handed out.
    std::array<std::uint8_t, 4096> buffer_{};
    std::size_t bufferStart_ = 0;
    std::size_t bufferEnd_ = 0;
};

}  // namespace vx414
