// For the window's tests: the ELM327 device library itself (its worker, its stop, its
// hand-over of the codes and then of the vehicle) with a scripted car in place of the
// adapter's conversation, whose reads take as long as the test says. Its pipe connects to a
// loopback socket that is never read. Read n answers P030n.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "reader/device_library.h"
#include "reader/vehicle_info.h"

namespace vx414 {

class Elm327DeviceLibrary;

namespace testing {

struct SlowCarScript {
    std::chrono::milliseconds first{0};   // the first read's codes take this
    std::chrono::milliseconds later{50};  // every later read's
    bool heedsStop = true;                // false: sleeps through a stop, as a worker caught in an open would
    std::chrono::milliseconds vehicleTakes{0};  // the vehicle part, after the codes
    VehicleInfo vehicle;                        // what it tells (its units are the codes')
};

class SlowAdapter {
public:
    explicit SlowAdapter(SlowCarScript script);
    ~SlowAdapter();
    SlowAdapter(const SlowAdapter&) = delete;
    SlowAdapter& operator=(const SlowAdapter&) = delete;

    DeviceLibrary& library();
    // The script, read by the car at each read: set it before LINK USB.
    SlowCarScript& script() { return *script_; }
    // Whether a read's worker is at the codes; whether the vehicle part is still to be
    // handed over.
    bool busy() const;
    bool readingVehicle() const;
    // Reads whose worker has ended, stopped or not; still counted after end().
    int finishedReads() const { return *finished_; }
    // Ends the library, as the program's end does; a worker deaf to the stop goes on.
    void end();

private:
    int listener_ = -1;
    std::shared_ptr<std::atomic<int>> finished_ = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<SlowCarScript> script_;
    std::unique_ptr<Elm327DeviceLibrary> library_;
};

}  // namespace testing
}  // namespace vx414
