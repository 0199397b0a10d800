#include "reader/obd/freeze_frame.h"

#include <array>
#include <string_view>

namespace vx414::obd {
namespace {

enum class Formula {
    Percent,    // A × 100 / 255
    Trim,       // (A − 128) × 100 / 128
    Celsius,    // A − 40
    Byte,       // A
    FuelPressure,  // A × 3
    Rpm,        // (256 A + B) / 4
    AirFlow,    // (256 A + B) / 100
};

struct PidValue {
    std::uint8_t pid;
    std::string_view name;
    std::string_view unit;
    Formula formula;
};

// SAE J1979's scalings of the values a freeze frame usually holds.
constexpr std::array<PidValue, 13> Values = {{
    {0x04, "Calculated load", "%", Formula::Percent},
    {0x05, "Coolant temperature", "°C", Formula::Celsius},
    {0x06, "Short-term fuel trim bank 1", "%", Formula::Trim},
    {0x07, "Long-term fuel trim bank 1", "%", Formula::Trim},
    {0x08, "Short-term fuel trim bank 2", "%", Formula::Trim},
    {0x09, "Long-term fuel trim bank 2", "%", Formula::Trim},
    {0x0A, "Fuel pressure", "kPa", Formula::FuelPressure},
    {0x0B, "Intake manifold pressure", "kPa", Formula::Byte},
    {0x0C, "Engine speed", "rpm", Formula::Rpm},
    {0x0D, "Vehicle speed", "km/h", Formula::Byte},
    {0x0F, "Intake air temperature", "°C", Formula::Celsius},
    {0x10, "Air flow rate", "g/s", Formula::AirFlow},
    {0x11, "Throttle position", "%", Formula::Percent},
}};

constexpr std::array<std::uint8_t, Values.size()> Pids = [] {
    std::array<std::uint8_t, Values.size()> pids{};
    for (std::size_t i = 0; i < Values.size(); ++i) pids[i] = Values[i].pid;
    return pids;
}();

std::size_t dataBytes(Formula formula) { return formula == Formula::Rpm || formula == Formula::AirFlow ? 2 : 1; }

double scaled(Formula formula, std::span<const std::uint8_t> data) {
    const double a = data[0];
    switch (formula) {
    case Formula::Percent: return a * 100.0 / 255.0;
    case Formula::Trim: return (a - 128.0) * 100.0 / 128.0;
    case Formula::Celsius: return a - 40.0;
    case Formula::Byte: return a;
    case Formula::FuelPressure: return a * 3.0;
    case Formula::Rpm: return (a * 256.0 + data[1]) / 4.0;
    case Formula::AirFlow: return (a * 256.0 + data[1]) / 100.0;
    }
    return 0;
}

}  // namespace

std::optional<TroubleCode> decodeFreezeFrameCode(std::span<const std::uint8_t> message) {
    if (message.size() != 5 || message[0] != 0x42 || message[1] != 0x02 || message[2] != 0x00) return std::nullopt;
    if (message[3] == 0 && message[4] == 0) return std::nullopt;
    return decodeTroubleCode(message[3], message[4]);
}

std::optional<FreezeValue> decodeFreezeValue(std::span<const std::uint8_t> message) {
    if (message.size() < 4 || message[0] != 0x42 || message[2] != 0x00) return std::nullopt;
    for (const PidValue& value : Values) {
        if (value.pid != message[1]) continue;
        const auto data = message.subspan(3);
        if (data.size() != dataBytes(value.formula)) return std::nullopt;
        return FreezeValue{std::string(value.name), scaled(value.formula, data), std::string(value.unit)};
    }
    return std::nullopt;
}

std::span<const std::uint8_t> freezeFramePids() { return Pids; }

}  // namespace vx414::obd
