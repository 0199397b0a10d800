// Service 02, freeze frame 0: the code that stored it and the values it holds, in SI units.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "reader/vehicle_info.h"

namespace vx414::obd {

// 42 02 00 A B: the code that stored frame 0. Nothing when the message has another form
// or the code is 0000 (no frame stored).
std::optional<TroubleCode> decodeFreezeFrameCode(std::span<const std::uint8_t> message);

// 42 pid 00 data: one value of frame 0, for the PIDs freezeFramePids() lists; nothing
// for another PID, another frame or a length that does not fit the PID.
std::optional<FreezeValue> decodeFreezeValue(std::span<const std::uint8_t> message);

// The PIDs decodeFreezeValue reads, in the order a read asks for them.
std::span<const std::uint8_t> freezeFramePids();

}  // namespace vx414::obd
