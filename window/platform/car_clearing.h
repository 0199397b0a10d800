// Clearing the car's codes (service 04) through the link, as the window asks for it: only
// the link says whether it can (an ELM327 adapter can), and the clear runs off the window's
// thread.
#pragma once

#include "reader/clear_result.h"
#include "reader/device_library.h"

namespace vx414 {

class CarClearing {
public:
    virtual ~CarClearing() = default;
    // Whether the link the next read would use can clear codes (the window's thread).
    virtual bool canClear() = 0;
    // Ends the read still at work on the link (the rest of a vehicle's picture), on the
    // window's thread, before the clear's worker starts.
    virtual void endReading() {}
    // The engine's speed (01 0C), asked before the question, within the link's own bound,
    // on a worker thread while no read runs: not read when the link cannot ask.
    virtual EngineSpeed engineSpeed() { return {std::nullopt, "this link cannot ask for it"}; }
    // Sends service 04 and waits for the car's answer, within the link's own bound: Ok once
    // a unit has confirmed, with the units that confirmed and those that refused. Called on
    // a worker thread while no read runs.
    virtual ClearResult clearCodes() = 0;
};

// The program's: the window's link itself.
class LinkCarClearing final : public CarClearing {
public:
    explicit LinkCarClearing(DeviceLibrary& link) : link_(link) {}
    bool canClear() override;
    void endReading() override;
    EngineSpeed engineSpeed() override;
    ClearResult clearCodes() override;

private:
    DeviceLibrary& link_;
};

}  // namespace vx414
