// Clearing the car's codes (service 04) through the link, as the window asks for it: only
// an ELM327 adapter can, and the clear runs off the window's thread.
#pragma once

#include "reader/device_library.h"
#include "reader/elm327/elm327_answer.h"
#include "reader/link_status.h"

namespace vx414 {

class CarClearing {
public:
    virtual ~CarClearing() = default;
    // Whether the link the next read would use can clear codes (the window's thread).
    virtual bool canClear() = 0;
    // Sends service 04 and waits for the car's answer, within the link's own bound: Ok once
    // a unit has confirmed, with the units that confirmed and those that refused. Called on
    // a worker thread while no read runs.
    virtual elm327::ClearResult clearCodes() = 0;
};

// The program's: the ELM327 library behind the window's link.
class LinkCarClearing final : public CarClearing {
public:
    explicit LinkCarClearing(DeviceLibrary& link) : link_(link) {}
    bool canClear() override;
    elm327::ClearResult clearCodes() override;

private:
    DeviceLibrary& link_;
};

}  // namespace vx414
