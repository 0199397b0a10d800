#include "reader/obd/live_pids.h"

#include <gtest/gtest.h>

#include <set>

#include <string>
#include <vector>

#include "reader/obd/test_bytes.h"

namespace vx414::obd {
namespace {

using testing::bytes;

// The value named `name` in `message`, or nothing when the message does not decode or
// holds no such value.
std::optional<double> valueNamed(const char* message, const std::string& name) {
    const auto values = decodeLiveValues(bytes(message));
    if (!values) return std::nullopt;
    for (const LiveValue& value : *values) {
        if (value.field->name == name) return value.value;
    }
    return std::nullopt;
}

// Edge values 00 and FF of each scaling, and the two-byte forms, as python-OBD's decoder
// tests publish them (tests/test_decoders.py; "≈" where it compares within 0.025) and, for
// the scalings it does not test, as the J1979 ranges on Wikipedia's "OBD-II PIDs" give
// them.
TEST(LivePids, ValuesByTheirScalings) {
    struct Case {
        const char* message;
        const char* name;
        std::optional<double> value;  // nothing: the value is not there
        const char* unit;
    };
    const std::vector<Case> cases = {
        {"41 04 00", "Calculated load", 0.0, "%"},
        {"41 04 FF", "Calculated load", 100.0, "%"},
        {"41 06 00", "Short-term fuel trim bank 1", -100.0, "%"},
        {"41 06 80", "Short-term fuel trim bank 1", 0.0, "%"},
        {"41 2D FF", "EGR error", 99.2, "%"},  // ≈
        {"41 05 00", "Coolant temperature", -40.0, "°C"},
        {"41 5C FF", "Engine oil temperature", 215.0, "°C"},
        {"41 0A 00", "Fuel pressure", 0.0, "kPa"},
        {"41 0A 80", "Fuel pressure", 384.0, "kPa"},
        {"41 0A FF", "Fuel pressure", 765.0, "kPa"},
        {"41 0E 00", "Timing advance", -64.0, "°"},
        {"41 0E FF", "Timing advance", 63.5, "°"},
        {"41 5E 00 00", "Engine fuel rate", 0.0, "L/h"},
        {"41 5E FF FF", "Engine fuel rate", 3276.75, "L/h"},
        {"41 43 00 00", "Absolute load", 0.0, "%"},
        {"41 43 FF FF", "Absolute load", 25700.0, "%"},
        // Narrow-band sensors: A/200 V, and B the trim, FF when the sensor does not trim.
        {"41 14 00 00", "O2 sensor B1S1 voltage", 0.0, "V"},
        {"41 14 FF FF", "O2 sensor B1S1 voltage", 1.275, "V"},
        {"41 14 FF FF", "O2 sensor B1S1 short-term trim", std::nullopt, "%"},
        {"41 1B 5A 80", "O2 sensor B2S4 short-term trim", 0.0, "%"},
        // Wide-range sensors: AB the equivalence ratio, CD a voltage (24–2B) or a current
        // (34–3B).
        {"41 24 00 00 00 00", "O2 sensor B1S1 voltage", 0.0, "V"},
        {"41 24 AB CD 00 00", "O2 sensor B1S1 voltage", 0.0, "V"},
        {"41 25 00 00 80 00", "O2 sensor B1S2 voltage", 4.0, "V"},
        {"41 2B 00 00 FF FF", "O2 sensor B2S4 voltage", 8.0, "V"},  // ≈
        {"41 24 80 00 00 00", "O2 sensor B1S1 equivalence ratio", 1.0, "λ"},
        {"41 34 00 00 00 00", "O2 sensor B1S1 current", -128.0, "mA"},
        {"41 34 AB CD 80 00", "O2 sensor B1S1 current", 0.0, "mA"},
        {"41 3B 00 00 FF FF", "O2 sensor B2S4 current", 128.0, "mA"},  // ≈
        {"41 3B FF FF 00 00", "O2 sensor B2S4 equivalence ratio", 2.0, "λ"},  // ≈
        // Two-byte forms at both ends of their ranges.
        {"41 0C 00 00", "Engine speed", 0.0, "rpm"},
        {"41 0C FF FF", "Engine speed", 16383.75, "rpm"},
        {"41 10 FF FF", "Air flow rate", 655.35, "g/s"},
        {"41 1F FF FF", "Run time since engine start", 65535.0, "s"},
        {"41 21 01 00", "Distance with check-engine light on", 256.0, "km"},
        {"41 31 FF FF", "Distance since codes cleared", 65535.0, "km"},
        {"41 32 00 00", "Evaporative system vapour pressure", 0.0, "Pa"},
        {"41 32 7F FF", "Evaporative system vapour pressure", 8191.75, "Pa"},
        {"41 32 80 00", "Evaporative system vapour pressure", -8192.0, "Pa"},
        {"41 32 FF FF", "Evaporative system vapour pressure", -0.25, "Pa"},
        {"41 3C 00 00", "Catalyst temperature bank 1 sensor 1", -40.0, "°C"},
        {"41 3F FF FF", "Catalyst temperature bank 2 sensor 2", 6513.5, "°C"},
        {"41 42 FF FF", "Control module voltage", 65.535, "V"},
        {"41 44 80 00", "Commanded equivalence ratio", 1.0, "λ"},
        {"41 30 FF", "Warm-ups since codes cleared", 255.0, ""},
        {"41 33 65", "Barometric pressure", 101.0, "kPa"},
        {"41 0D FF", "Vehicle speed", 255.0, "km/h"},
        {"41 51 04", "Fuel type", 4.0, ""},
    };
    for (const Case& c : cases) {
        const auto value = valueNamed(c.message, c.name);
        ASSERT_EQ(value.has_value(), c.value.has_value()) << c.message << " " << c.name;
        if (value) {
            EXPECT_NEAR(*value, *c.value, 0.025) << c.message << " " << c.name;
        }
        const auto values = decodeLiveValues(bytes(c.message));
        ASSERT_TRUE(values) << c.message;
        for (const LiveValue& v : *values) {
            if (v.field->name == c.name) {
                EXPECT_EQ(v.field->unit, c.unit) << c.message;
            }
        }
    }
}

TEST(LivePids, MessagesThatDoNotFitAreRefused) {
    for (const char* message : {
             "41 0C 1A",           // one byte short
             "41 05 7B 00",        // one byte over
             "41 24 80 00 00",     // a wide-range sensor's four bytes, one short
             "42 0C 1A F8",        // the freeze frame's form
             "41 12 01",           // secondary air status: not a value this table reads
             "41 60 00",           // a PID beyond the table
             "41",
             "",
         }) {
        EXPECT_FALSE(decodeLiveValues(bytes(message))) << message;
    }
}

TEST(LivePids, EveryRowDecodesFromItsPidsLength) {
    // Catches a row whose bytes reach past its PID's answer or a PID whose rows overlap.
    for (const PidField& field : pidFields()) {
        const std::size_t length = pidDataLength(field.pid);
        ASSERT_GE(length, field.offset + field.size) << field.name;
        for (const std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0x7F}}) {
            const std::vector<std::uint8_t> data(length, fill);
            EXPECT_TRUE(decodeField(field, data)) << field.name << " from " << int{fill};
        }
        EXPECT_FALSE(decodeField(field, std::vector<std::uint8_t>(length + 1, 0))) << field.name;
        EXPECT_FALSE(field.group.empty()) << field.name;
    }
}

TEST(LivePids, FuelTypesByCode) {
    // python-OBD's published names for the first and last codes, and none past them.
    EXPECT_EQ(fuelTypeName(0x00), "Not available");
    EXPECT_EQ(fuelTypeName(0x01), "Gasoline");
    EXPECT_EQ(fuelTypeName(0x04), "Diesel");
    EXPECT_EQ(fuelTypeName(0x17), "Bifuel running diesel");
    EXPECT_EQ(fuelTypeName(0x18), "");
}

// Labels are column headings and JSON keys: two columns of one name would lose one.
TEST(LivePids, EveryFieldsLabelIsItsOwn) {
    std::set<std::string> labels;
    for (const PidField& field : pidFields()) EXPECT_TRUE(labels.insert(fieldLabel(field)).second) << fieldLabel(field);
    EXPECT_EQ(fieldLabel(fieldsOf(0x14).front()), "O2 sensor B1S1 voltage (PID 14)");
    EXPECT_EQ(fieldLabel(fieldsOf(0x24)[1]), "O2 sensor B1S1 voltage (PID 24)");
    EXPECT_EQ(fieldLabel(fieldsOf(0x0C).front()), "Engine speed");
}

}  // namespace
}  // namespace vx414::obd
