#include "reader/obd/freeze_frame.h"

#include <algorithm>
#include <array>

#include "reader/obd/live_pids.h"

namespace vx414::obd {
namespace {

// The values a freeze frame usually holds; their names and scalings are service 01's.
constexpr std::array<std::uint8_t, 13> Pids = {0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
                                               0x0B, 0x0C, 0x0D, 0x0F, 0x10, 0x11};

}  // namespace

std::optional<TroubleCode> decodeFreezeFrameCode(std::span<const std::uint8_t> message) {
    if (message.size() != 5 || message[0] != 0x42 || message[1] != 0x02 || message[2] != 0x00) return std::nullopt;
    if (message[3] == 0 && message[4] == 0) return std::nullopt;
    return decodeTroubleCode(message[3], message[4]);
}

std::optional<FreezeValue> decodeFreezeValue(std::span<const std::uint8_t> message) {
    if (message.size() < 4 || message[0] != 0x42 || message[2] != 0x00) return std::nullopt;
    if (std::find(Pids.begin(), Pids.end(), message[1]) == Pids.end()) return std::nullopt;
    const PidField& field = fieldsOf(message[1]).front();
    const auto value = decodeField(field, message.subspan(3));
    if (!value) return std::nullopt;
    return FreezeValue{std::string(field.name), *value, std::string(field.unit)};
}

std::span<const std::uint8_t> freezeFramePids() { return Pids; }

}  // namespace vx414::obd
