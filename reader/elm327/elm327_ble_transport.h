// An ELM327 adapter over Bluetooth Low Energy, through BlueZ on the system bus: the
// adapter's text is notified on one GATT characteristic and the commands are written to
// another (or the same), in pieces no longer than a write may carry. To the session it is
// a byte pipe like the tty and the socket; the GATT service, the MTU and BlueZ stay in here.
#pragma once

#include <memory>
#include <string>

#include "reader/elm327/elm327_transport.h"

namespace vx414::elm327 {

class BleTransport final : public Transport {
public:
    // `address` as BlueZ spells it: AA:BB:CC:DD:EE:FF.
    explicit BleTransport(std::string address);
    ~BleTransport() override;
    BleTransport(const BleTransport&) = delete;
    BleTransport& operator=(const BleTransport&) = delete;

    // Finds the device among those BlueZ knows, connects it when it is not, waits for its
    // services, takes the first service of bleServices() it offers and subscribes to its
    // notifications; all bounded by `deadline`. NoDevice names the cause (Bluetooth off,
    // no adapter, an unknown device, a refused connection, no ELM327 service); a device
    // that does not connect in time is Timeout, out of range.
    LinkStatus open(Deadline deadline) override;
    // Never waits: the subscription ends with the private bus connection, and a device
    // this transport connected is asked to disconnect.
    void close() override;
    bool isOpen() const override { return open_; }
    // Io once the device has disconnected (out of range, switched off).
    LinkStatus write(std::string_view bytes, Deadline deadline) override;
    LinkStatus read(std::string& into, std::size_t max, Deadline deadline) override;
    void discardInput() override;

    // The largest piece a write carries (tests).
    int writeSize() const;

private:
    struct Link;  // the D-Bus side, kept out of this header: Qt's types stay in the .cpp
    std::unique_ptr<Link> link_;
    bool open_ = false;
};

}  // namespace vx414::elm327
