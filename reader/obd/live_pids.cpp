#include "reader/obd/live_pids.h"

#include <algorithm>
#include <array>
#include <string>

namespace vx414::obd {
namespace {

// The oxygen sensors of 14–1B, 24–2B and 34–3B are named by the layout PID 13 describes
// (two banks of four sensors), the one nearly every car uses; a car that lists PID 1D
// instead numbers the same PIDs over four banks of two.
constexpr std::array<PidField, 92> Fields = {{
    {0x04, 0, 1, Scale::Percent, "Calculated load", "Engine", "%", 1},
    {0x05, 0, 1, Scale::Celsius, "Coolant temperature", "Temperatures", "°C", 0},
    {0x06, 0, 1, Scale::CentredPercent, "Short-term fuel trim bank 1", "Fuel", "%", 1},
    {0x07, 0, 1, Scale::CentredPercent, "Long-term fuel trim bank 1", "Fuel", "%", 1},
    {0x08, 0, 1, Scale::CentredPercent, "Short-term fuel trim bank 2", "Fuel", "%", 1},
    {0x09, 0, 1, Scale::CentredPercent, "Long-term fuel trim bank 2", "Fuel", "%", 1},
    {0x0A, 0, 1, Scale::Triple, "Fuel pressure", "Fuel", "kPa", 0},
    {0x0B, 0, 1, Scale::Plain, "Intake manifold pressure", "Air", "kPa", 0},
    {0x0C, 0, 2, Scale::Quarter, "Engine speed", "Engine", "rpm", 0},
    {0x0D, 0, 1, Scale::Plain, "Vehicle speed", "Engine", "km/h", 0},
    {0x0E, 0, 1, Scale::Advance, "Timing advance", "Engine", "°", 1},
    {0x0F, 0, 1, Scale::Celsius, "Intake air temperature", "Temperatures", "°C", 0},
    {0x10, 0, 2, Scale::Hundredth, "Air flow rate", "Air", "g/s", 2},
    {0x11, 0, 1, Scale::Percent, "Throttle position", "Air", "%", 1},
    {0x14, 0, 1, Scale::Voltage200, "O2 sensor B1S1 voltage", "Oxygen sensors", "V", 3},
    {0x14, 1, 1, Scale::CentredPercent, "O2 sensor B1S1 short-term trim", "Oxygen sensors", "%", 1},
    {0x15, 0, 1, Scale::Voltage200, "O2 sensor B1S2 voltage", "Oxygen sensors", "V", 3},
    {0x15, 1, 1, Scale::CentredPercent, "O2 sensor B1S2 short-term trim", "Oxygen sensors", "%", 1},
    {0x16, 0, 1, Scale::Voltage200, "O2 sensor B1S3 voltage", "Oxygen sensors", "V", 3},
    {0x16, 1, 1, Scale::CentredPercent, "O2 sensor B1S3 short-term trim", "Oxygen sensors", "%", 1},
    {0x17, 0, 1, Scale::Voltage200, "O2 sensor B1S4 voltage", "Oxygen sensors", "V", 3},
    {0x17, 1, 1, Scale::CentredPercent, "O2 sensor B1S4 short-term trim", "Oxygen sensors", "%", 1},
    {0x18, 0, 1, Scale::Voltage200, "O2 sensor B2S1 voltage", "Oxygen sensors", "V", 3},
    {0x18, 1, 1, Scale::CentredPercent, "O2 sensor B2S1 short-term trim", "Oxygen sensors", "%", 1},
    {0x19, 0, 1, Scale::Voltage200, "O2 sensor B2S2 voltage", "Oxygen sensors", "V", 3},
    {0x19, 1, 1, Scale::CentredPercent, "O2 sensor B2S2 short-term trim", "Oxygen sensors", "%", 1},
    {0x1A, 0, 1, Scale::Voltage200, "O2 sensor B2S3 voltage", "Oxygen sensors", "V", 3},
    {0x1A, 1, 1, Scale::CentredPercent, "O2 sensor B2S3 short-term trim", "Oxygen sensors", "%", 1},
    {0x1B, 0, 1, Scale::Voltage200, "O2 sensor B2S4 voltage", "Oxygen sensors", "V", 3},
    {0x1B, 1, 1, Scale::CentredPercent, "O2 sensor B2S4 short-term trim", "Oxygen sensors", "%", 1},
    {0x1F, 0, 2, Scale::Plain, "Run time since engine start", "Distance and time", "s", 0},
    {0x21, 0, 2, Scale::Plain, "Distance with check-engine light on", "Distance and time", "km", 0},
    {0x24, 0, 2, Scale::Ratio, "O2 sensor B1S1 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x24, 2, 2, Scale::WideVoltage, "O2 sensor B1S1 voltage", "Oxygen sensors", "V", 3},
    {0x25, 0, 2, Scale::Ratio, "O2 sensor B1S2 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x25, 2, 2, Scale::WideVoltage, "O2 sensor B1S2 voltage", "Oxygen sensors", "V", 3},
    {0x26, 0, 2, Scale::Ratio, "O2 sensor B1S3 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x26, 2, 2, Scale::WideVoltage, "O2 sensor B1S3 voltage", "Oxygen sensors", "V", 3},
    {0x27, 0, 2, Scale::Ratio, "O2 sensor B1S4 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x27, 2, 2, Scale::WideVoltage, "O2 sensor B1S4 voltage", "Oxygen sensors", "V", 3},
    {0x28, 0, 2, Scale::Ratio, "O2 sensor B2S1 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x28, 2, 2, Scale::WideVoltage, "O2 sensor B2S1 voltage", "Oxygen sensors", "V", 3},
    {0x29, 0, 2, Scale::Ratio, "O2 sensor B2S2 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x29, 2, 2, Scale::WideVoltage, "O2 sensor B2S2 voltage", "Oxygen sensors", "V", 3},
    {0x2A, 0, 2, Scale::Ratio, "O2 sensor B2S3 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x2A, 2, 2, Scale::WideVoltage, "O2 sensor B2S3 voltage", "Oxygen sensors", "V", 3},
    {0x2B, 0, 2, Scale::Ratio, "O2 sensor B2S4 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x2B, 2, 2, Scale::WideVoltage, "O2 sensor B2S4 voltage", "Oxygen sensors", "V", 3},
    {0x2C, 0, 1, Scale::Percent, "Commanded EGR", "Emissions", "%", 1},
    {0x2D, 0, 1, Scale::CentredPercent, "EGR error", "Emissions", "%", 1},
    {0x2E, 0, 1, Scale::Percent, "Commanded evaporative purge", "Emissions", "%", 1},
    {0x2F, 0, 1, Scale::Percent, "Fuel tank level", "Fuel", "%", 1},
    {0x30, 0, 1, Scale::Plain, "Warm-ups since codes cleared", "Distance and time", "", 0},
    {0x31, 0, 2, Scale::Plain, "Distance since codes cleared", "Distance and time", "km", 0},
    {0x32, 0, 2, Scale::SignedQuarter, "Evaporative system vapour pressure", "Emissions", "Pa", 2},
    {0x33, 0, 1, Scale::Plain, "Barometric pressure", "Air", "kPa", 0},
    {0x34, 0, 2, Scale::Ratio, "O2 sensor B1S1 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x34, 2, 2, Scale::WideCurrent, "O2 sensor B1S1 current", "Oxygen sensors", "mA", 2},
    {0x35, 0, 2, Scale::Ratio, "O2 sensor B1S2 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x35, 2, 2, Scale::WideCurrent, "O2 sensor B1S2 current", "Oxygen sensors", "mA", 2},
    {0x36, 0, 2, Scale::Ratio, "O2 sensor B1S3 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x36, 2, 2, Scale::WideCurrent, "O2 sensor B1S3 current", "Oxygen sensors", "mA", 2},
    {0x37, 0, 2, Scale::Ratio, "O2 sensor B1S4 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x37, 2, 2, Scale::WideCurrent, "O2 sensor B1S4 current", "Oxygen sensors", "mA", 2},
    {0x38, 0, 2, Scale::Ratio, "O2 sensor B2S1 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x38, 2, 2, Scale::WideCurrent, "O2 sensor B2S1 current", "Oxygen sensors", "mA", 2},
    {0x39, 0, 2, Scale::Ratio, "O2 sensor B2S2 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x39, 2, 2, Scale::WideCurrent, "O2 sensor B2S2 current", "Oxygen sensors", "mA", 2},
    {0x3A, 0, 2, Scale::Ratio, "O2 sensor B2S3 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x3A, 2, 2, Scale::WideCurrent, "O2 sensor B2S3 current", "Oxygen sensors", "mA", 2},
    {0x3B, 0, 2, Scale::Ratio, "O2 sensor B2S4 equivalence ratio", "Oxygen sensors", "λ", 3},
    {0x3B, 2, 2, Scale::WideCurrent, "O2 sensor B2S4 current", "Oxygen sensors", "mA", 2},
    {0x3C, 0, 2, Scale::CatalystCelsius, "Catalyst temperature bank 1 sensor 1", "Temperatures", "°C", 1},
    {0x3D, 0, 2, Scale::CatalystCelsius, "Catalyst temperature bank 2 sensor 1", "Temperatures", "°C", 1},
    {0x3E, 0, 2, Scale::CatalystCelsius, "Catalyst temperature bank 1 sensor 2", "Temperatures", "°C", 1},
    {0x3F, 0, 2, Scale::CatalystCelsius, "Catalyst temperature bank 2 sensor 2", "Temperatures", "°C", 1},
    {0x42, 0, 2, Scale::Thousandth, "Control module voltage", "Electrical", "V", 2},
    {0x43, 0, 2, Scale::WidePercent, "Absolute load", "Engine", "%", 1},
    {0x44, 0, 2, Scale::Ratio, "Commanded equivalence ratio", "Fuel", "λ", 3},
    {0x45, 0, 1, Scale::Percent, "Relative throttle position", "Air", "%", 1},
    {0x46, 0, 1, Scale::Celsius, "Ambient air temperature", "Temperatures", "°C", 0},
    {0x47, 0, 1, Scale::Percent, "Absolute throttle position B", "Air", "%", 1},
    {0x49, 0, 1, Scale::Percent, "Accelerator pedal position D", "Air", "%", 1},
    {0x4A, 0, 1, Scale::Percent, "Accelerator pedal position E", "Air", "%", 1},
    {0x4B, 0, 1, Scale::Percent, "Accelerator pedal position F", "Air", "%", 1},
    {0x4C, 0, 1, Scale::Percent, "Commanded throttle actuator", "Air", "%", 1},
    {0x51, 0, 1, Scale::Plain, "Fuel type", "Fuel", "", 0},
    {0x52, 0, 1, Scale::Percent, "Ethanol fuel", "Fuel", "%", 1},
    {0x5A, 0, 1, Scale::Percent, "Relative accelerator pedal position", "Air", "%", 1},
    {0x5B, 0, 1, Scale::Percent, "Hybrid battery pack remaining life", "Electrical", "%", 1},
    {0x5C, 0, 1, Scale::Celsius, "Engine oil temperature", "Temperatures", "°C", 0},
    {0x5E, 0, 2, Scale::Twentieth, "Engine fuel rate", "Fuel", "L/h", 2},
}};

constexpr bool sortedByPid() {
    for (std::size_t i = 1; i < Fields.size(); ++i) {
        if (Fields[i - 1].pid > Fields[i].pid) return false;
        if (Fields[i - 1].pid == Fields[i].pid && Fields[i - 1].offset >= Fields[i].offset) return false;
    }
    return true;
}
static_assert(sortedByPid(), "fieldsOf looks the rows up by PID in order");

// PID 51's codes 00 to 17; later codes are not defined.
constexpr std::array<std::string_view, 0x18> FuelTypes = {
    "Not available",
    "Gasoline",
    "Methanol",
    "Ethanol",
    "Diesel",
    "LPG",
    "CNG",
    "Propane",
    "Electric",
    "Bifuel running gasoline",
    "Bifuel running methanol",
    "Bifuel running ethanol",
    "Bifuel running LPG",
    "Bifuel running CNG",
    "Bifuel running propane",
    "Bifuel running electricity",
    "Bifuel running electric and combustion engine",
    "Hybrid gasoline",
    "Hybrid ethanol",
    "Hybrid diesel",
    "Hybrid electric",
    "Hybrid running electric and combustion engine",
    "Hybrid regenerative",
    "Bifuel running diesel",
};

}  // namespace

std::span<const PidField> pidFields() { return Fields; }

std::span<const PidField> fieldsOf(std::uint8_t pid) {
    const auto first = std::partition_point(Fields.begin(), Fields.end(), [pid](const PidField& f) { return f.pid < pid; });
    const auto last = std::partition_point(first, Fields.end(), [pid](const PidField& f) { return f.pid == pid; });
    return {first, last};
}

std::string fieldLabel(const PidField& field) {
    const bool shared = std::any_of(Fields.begin(), Fields.end(), [&field](const PidField& other) {
        return other.pid != field.pid && other.name == field.name;
    });
    if (!shared) return std::string(field.name);
    constexpr std::string_view Digits = "0123456789ABCDEF";
    return std::string(field.name) + " (PID " + Digits[field.pid >> 4U] + Digits[field.pid & 0xFU] + ")";
}

std::size_t pidDataLength(std::uint8_t pid) {
    std::size_t length = 0;
    for (const PidField& field : fieldsOf(pid)) length = std::max<std::size_t>(length, field.offset + field.size);
    return length;
}

std::optional<double> decodeField(const PidField& field, std::span<const std::uint8_t> data) {
    if (data.size() != pidDataLength(field.pid) || field.offset + field.size > data.size()) return std::nullopt;
    const double a = data[field.offset];
    const double ab = field.size == 2 ? a * 256.0 + data[field.offset + 1U] : a;
    switch (field.scale) {
    case Scale::Percent: return a * 100.0 / 255.0;
    case Scale::CentredPercent:
        // An oxygen sensor's trim byte FF says the sensor is not used for trimming.
        if (field.group == "Oxygen sensors" && data[field.offset] == 0xFF) return std::nullopt;
        return (a - 128.0) * 100.0 / 128.0;
    case Scale::Celsius: return a - 40.0;
    case Scale::Plain: return ab;
    case Scale::Triple: return a * 3.0;
    case Scale::Quarter: return ab / 4.0;
    case Scale::Hundredth: return ab / 100.0;
    case Scale::Advance: return a / 2.0 - 64.0;
    case Scale::Voltage200: return a / 200.0;
    case Scale::Ratio: return ab * 2.0 / 65536.0;
    case Scale::WideVoltage: return ab * 8.0 / 65536.0;
    case Scale::WideCurrent: return ab / 256.0 - 128.0;
    case Scale::SignedQuarter: return (ab >= 32768.0 ? ab - 65536.0 : ab) / 4.0;
    case Scale::CatalystCelsius: return ab / 10.0 - 40.0;
    case Scale::Thousandth: return ab / 1000.0;
    case Scale::WidePercent: return ab * 100.0 / 255.0;
    case Scale::Twentieth: return ab / 20.0;
    }
    return std::nullopt;
}

std::optional<std::vector<LiveValue>> decodeLiveValues(std::span<const std::uint8_t> message) {
    if (message.size() < 2 || message[0] != 0x41) return std::nullopt;
    const auto fields = fieldsOf(message[1]);
    const auto data = message.subspan(2);
    if (fields.empty() || data.size() != pidDataLength(message[1])) return std::nullopt;
    std::vector<LiveValue> values;
    for (const PidField& field : fields) {
        if (const auto value = decodeField(field, data)) values.push_back({&field, *value});
    }
    return values;
}

std::string_view fuelTypeName(unsigned code) { return code < FuelTypes.size() ? FuelTypes[code] : std::string_view(); }

}  // namespace vx414::obd
