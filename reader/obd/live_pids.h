// Service 01: the values an engine unit gives as they are now, one table of every PID this
// program reads, with each value's name, group, unit and scaling. The scalings follow SAE
// J1979 as its public summaries give them (Wikipedia's "OBD-II PIDs", cross-checked with
// python-OBD's decoders); see docs/live-data.md for the table and its sources. Freeze
// frame 0 (service 02) holds the same PIDs and is decoded through the same table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx414::obd {

// How a value is drawn from its data bytes: A is the first, B the second; AB is 256A + B.
enum class Scale : std::uint8_t {
    Percent,         // A × 100 / 255
    CentredPercent,  // (A − 128) × 100 / 128
    Celsius,         // A − 40
    Plain,           // A, or AB
    Triple,          // 3A
    Quarter,         // AB / 4
    Hundredth,       // AB / 100
    Advance,         // A / 2 − 64
    Voltage200,      // A / 200
    Ratio,           // AB × 2 / 65536
    WideVoltage,     // AB × 8 / 65536
    WideCurrent,     // AB / 256 − 128
    SignedQuarter,   // AB as a signed 16-bit number, / 4
    CatalystCelsius, // AB / 10 − 40
    Thousandth,      // AB / 1000
    WidePercent,     // AB × 100 / 255
    Twentieth,       // AB / 20
};

// One value a PID carries. Most PIDs carry one; the oxygen sensors' carry two (a voltage and
// a trim, or a ratio and a voltage or current), each a row of its own.
struct PidField {
    std::uint8_t pid;
    std::uint8_t offset;  // its first data byte, after the PID
    std::uint8_t size;    // 1 or 2 bytes
    Scale scale;
    std::string_view name;   // "Engine speed"; the freeze frame's names too
    std::string_view group;  // "Engine", "Fuel", "Air", "Oxygen sensors" …
    std::string_view unit;   // SI: "rpm", "km/h", "°C", "%", "kPa", "V" …; "" for a count or code
    std::uint8_t decimals;   // the places that show the value's resolution
};

// Every row, by PID and then by offset.
std::span<const PidField> pidFields();
// The rows of one PID; empty for a PID this program does not read.
std::span<const PidField> fieldsOf(std::uint8_t pid);
// A field's name where it must be told from every other: its name, and where another PID
// has a field of the same name (14 and 24 both give "O2 sensor B1S1 voltage") the PID
// with it, "O2 sensor B1S1 voltage (PID 14)". Column headings and JSON keys use it.
std::string fieldLabel(const PidField& field);
// The data bytes a PID's answer carries (after 41 pid); 0 for a PID not in the table.
std::size_t pidDataLength(std::uint8_t pid);

// One field's value from a PID's data bytes (exactly pidDataLength of them). Nothing when
// the data do not fit, or when the bytes say the value is not in use (an oxygen sensor's
// trim byte FF: that sensor is not used for trimming).
std::optional<double> decodeField(const PidField& field, std::span<const std::uint8_t> data);

struct LiveValue {
    const PidField* field = nullptr;
    double value = 0;
};

// One round of live values.
struct LiveSample {
    double seconds = 0;                    // since the polling started
    std::vector<LiveValue> values;         // in the order asked
    std::vector<std::uint8_t> unanswered;  // PIDs asked that gave no value this round (NO DATA, a refusal)
};

// 41 pid data: each value the message holds. Nothing when it is not a service 01 answer of
// a PID in the table with that PID's length.
std::optional<std::vector<LiveValue>> decodeLiveValues(std::span<const std::uint8_t> message);

// PID 51's fuel types by their code ("Gasoline", "Diesel" …); empty for a code J1979 does
// not define.
std::string_view fuelTypeName(unsigned code);

}  // namespace vx414::obd
