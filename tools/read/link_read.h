// One read through the device library, in the calls and order the window makes them.
#pragma once

#include <chrono>
#include <string_view>
#include <vector>

#include "reader/device_library.h"
#include "reader/link_status.h"
#include "reader/trouble_code.h"
#include "reader/vehicle_info.h"

namespace vx414::cli {

struct CodeRead {
    std::string_view kind;  // "Pending" or "Stored"
    TroubleCode code;
};

struct ReadOutcome {
    LinkStatus status;
    std::vector<CodeRead> codes;  // the first block's codes, then the second's; none on failure
    bool wholeReport = false;     // the link gathered the report itself (an ELM327 adapter)
    VehicleInfo vehicle{};        // what an ELM327 adapter told besides the codes

    bool ok() const { return status.isOk(); }
};

// DeviceOpen, DeviceClose, DeviceOpen, DeviceWriteByte(0x55); for the reader's byte link
// `wait` (the time the window's Timer1 gives the reader before it reads), while a link that
// gathers the whole report is read as soon as the report is there; then
// DeviceWriteByte(0xAA) and DeviceClose, or after a failure DeviceOpen, DeviceClose,
// DeviceWriteByte(0xAA).
ReadOutcome readCodesOnce(DeviceLibrary& link, std::chrono::milliseconds wait);

}  // namespace vx414::cli
