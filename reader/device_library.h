// The reader's device library: four entries over a plain byte pipe to the code reader.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "reader/clear_result.h"
#include "reader/link_status.h"
#include "reader/live_watcher.h"
#include "reader/trouble_code.h"
#include "reader/vehicle_info.h"

namespace vx414 {

// One read from the link: a byte the reader sent, or nothing yet. A real 0x00 is a byte
// like any other (it is a code byte in P0300), so "nothing yet" is not a byte value.
using LinkByte = std::optional<std::uint8_t>;

// A whole report gathered by a link that speaks a protocol of its own (an ELM327 adapter):
// every code as the adapter sent it, with nothing lost to the reader's byte frame.
struct LinkReport {
    LinkStatus status;
    std::vector<TroubleCode> pending;  // the first block
    std::vector<TroubleCode> stored;   // the second block
    // Everything else the adapter told about the car (VIN, MIL, readiness, freeze frame,
    // permanent codes, the unit of each code); empty for a link that reads codes alone.
    VehicleInfo vehicle{};
};

// Where the report of the read asked for stands, on a link that gathers whole reports.
enum class ReportState {
    None,       // a byte link, or no read asked for: DeviceReadReport has nothing to wait for
    Gathering,  // the link is still at work: DeviceReadReport would wait for it
    Ready,      // DeviceReadReport hands the report over without waiting
};

// The four entries the program calls, in the sequences the code-reading flow prescribes.
// None of them reports a failure to the caller.
class DeviceLibrary {
public:
    virtual ~DeviceLibrary() = default;

    virtual void DeviceOpen() = 0;
    virtual void DeviceClose() = 0;
    // Returns at once: the next byte the reader sent, or std::nullopt when none has arrived.
    virtual LinkByte DeviceReadByte() = 0;
    virtual void DeviceWriteByte(std::uint8_t byte) = 0;

    // A link that gathers the whole report itself hands it over here, waiting at most until
    // its own deadline; a byte link returns std::nullopt and is read with DeviceReadByte.
    virtual std::optional<LinkReport> DeviceReadReport() { return std::nullopt; }

    // A link that gathers the whole report on a thread of its own calls `ready` from that
    // thread once the report asked for is Ready, so that its caller takes it then instead of
    // waiting for it; an empty function stops the calls, and returns only when no call is in
    // progress. A byte link never calls it.
    virtual void DeviceNotifyReportReady(std::function<void()> ready) { (void)ready; }
    virtual ReportState DeviceReportState() const { return ReportState::None; }

    // A link that reads more of the vehicle after the codes (an ELM327 adapter) hands it over
    // here once, when it is there and the codes of the same read were taken, and tells it
    // through the same `ready` call; std::nullopt otherwise, and always for a byte link.
    // Never waits.
    virtual std::optional<VehicleInfo> DeviceReadVehicle() { return std::nullopt; }

    // What the device on the link announced itself as, when it is an emulator: "reader
    // emulator" or "ELM327 emulator" (see reader/emulator_announcement.h), as of the last
    // open that reached it; empty for a real reader or adapter, and before any open. Never
    // waits.
    virtual std::string DeviceLinkName() const { return {}; }

    // The adapter this link holds open between reads, as a link name ("elm327:/dev/ttyUSB0",
    // "elm327:ble:AA:BB:CC:DD:EE:FF", "elm327://HOST:PORT"); empty when it holds none. Whoever
    // looks for adapters leaves that one be: a second program's probe would talk into its
    // conversation. Never waits.
    virtual std::string DeviceAdapterInUse() const { return {}; }

    // Ends the read still at work on the link (an adapter reading the rest of a vehicle's
    // picture after the codes), which then hands nothing more over; within the link's stop
    // bound. The window calls it on its own thread before a clear's worker takes the link,
    // so that no two threads end that read at once.
    virtual void DeviceEndReading() {}

    // Whether this link can clear the car's codes (an ELM327 adapter can, the VX-414 reader
    // cannot); for a link that chooses at each read, the link the next read would use.
    // Never waits.
    virtual bool DeviceCanClear() { return false; }
    // Clears the car's codes (service 04) and waits for the car's answer, within the link's
    // own bound, on the caller's thread: Ok once a unit has confirmed. Called while no read
    // runs; a link that cannot clear says so (NoDevice).
    virtual ClearResult DeviceClearCodes() {
        return {LinkStatus(LinkCode::NoDevice, "this link cannot clear codes"), {}, {}};
    }
    // The engine's speed (01 0C), asked just before a clear, within the link's own bound, on
    // the caller's thread, while no read runs: empty with the reason when the car does not
    // give it, no unit answered or the link cannot ask (the VX-414 reader).
    virtual EngineSpeed DeviceEngineSpeed() { return {std::nullopt, "this link cannot ask for it"}; }
    // Why a read through this link failed, in the user's words (one or two sentences); empty
    // where the one failure message says it all (the VX-414 reader). Never waits.
    virtual std::string DeviceFailureCause(const LinkStatus& status) const {
        (void)status;
        return {};
    }
    // For a caller that shows a read once (the command line): waits, within the read's own
    // bound, for the vehicle's picture of the read whose codes were taken; std::nullopt when
    // none comes, and always for a link that reads codes alone.
    virtual std::optional<VehicleInfo> DeviceAwaitVehicle() { return std::nullopt; }

    // Live data (an ELM327 adapter gives it, the VX-414 reader holds codes only). Whether
    // this link gives it, as DeviceCanClear. Never waits.
    virtual bool DeviceGivesLiveData() { return false; }
    // Polls on the caller's thread (the command line) until `stop`, or until the adapter or
    // the car is lost: Ok when stopped.
    virtual LinkStatus DevicePollLive(std::stop_token stop, LiveWatcher& watcher) {
        (void)stop;
        (void)watcher;
        return {LinkCode::NoDevice, "this link gives no live data"};
    }
    // Polls on the link's worker (the window) and returns at once; `ended` is called there
    // once polling ends. A read, a clear, DeviceStopLive or the link's end stops it.
    virtual void DeviceStartLive(std::shared_ptr<LiveWatcher> watcher, std::function<void(const LinkStatus&)> ended) {
        (void)watcher;
        ended(LinkStatus(LinkCode::NoDevice, "this link gives no live data"));
    }
    virtual void DeviceStopLive() {}
};

// The program's link to the reader: a raw byte pipe over the tty named by the environment
// variable VX414_LINK, or else /dev/vx414 (see reader/vx414/tty_device_library.h).
std::unique_ptr<DeviceLibrary> makeDeviceLibrary();

}  // namespace vx414
