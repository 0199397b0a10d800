#include "reader/obd/freeze_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "reader/obd/test_bytes.h"

namespace vx414::obd {
namespace {

using testing::bytes;

TEST(FreezeFrame, ValuesInSiUnitsByTheirFormulas) {
    struct Case {
        const char* message;
        const char* name;
        double value;
        const char* unit;
    };
    const std::vector<Case> cases = {
        {"42 04 00 FF", "Calculated load", 100.0, "%"},
        {"42 04 00 80", "Calculated load", 128 * 100.0 / 255, "%"},
        {"42 05 00 7B", "Coolant temperature", 83.0, "°C"},
        {"42 05 00 00", "Coolant temperature", -40.0, "°C"},
        {"42 06 00 80", "Short-term fuel trim bank 1", 0.0, "%"},
        {"42 06 00 00", "Short-term fuel trim bank 1", -100.0, "%"},
        {"42 07 00 FF", "Long-term fuel trim bank 1", 99.21875, "%"},
        {"42 08 00 8A", "Short-term fuel trim bank 2", 7.8125, "%"},
        {"42 09 00 70", "Long-term fuel trim bank 2", -12.5, "%"},
        {"42 0A 00 64", "Fuel pressure", 300.0, "kPa"},
        {"42 0B 00 65", "Intake manifold pressure", 101.0, "kPa"},
        {"42 0C 00 1A F8", "Engine speed", 1726.0, "rpm"},
        {"42 0C 00 FF FF", "Engine speed", 16383.75, "rpm"},
        {"42 0D 00 3C", "Vehicle speed", 60.0, "km/h"},
        {"42 0F 00 28", "Intake air temperature", 0.0, "°C"},
        {"42 10 00 01 F4", "Air flow rate", 5.0, "g/s"},
        {"42 10 00 FF FF", "Air flow rate", 655.35, "g/s"},
        {"42 11 00 33", "Throttle position", 20.0, "%"},
    };
    for (const Case& c : cases) {
        const auto value = decodeFreezeValue(bytes(c.message));
        ASSERT_TRUE(value) << c.message;
        EXPECT_EQ(value->name, c.name) << c.message;
        EXPECT_NEAR(value->value, c.value, 1e-9) << c.message;
        EXPECT_EQ(value->unit, c.unit) << c.message;
        // Every PID decoded is one a read asks for.
        const auto pids = freezeFramePids();
        EXPECT_NE(std::find(pids.begin(), pids.end(), bytes(c.message)[1]), pids.end()) << c.message;
    }
    for (const char* other : {
             "42 0C 00 1A",        // one byte short
             "42 05 00 7B 00",     // one byte over
             "42 0C 01 1A F8",     // frame 1
             "41 0C 1A F8",        // live data, not the frame
             "42 0E 00 80",        // timing advance: not read
             "42 02 00 01 33",     // the code, not a value
             "42 0D",
         }) {
        EXPECT_FALSE(decodeFreezeValue(bytes(other))) << other;
    }
}

TEST(FreezeFrame, TheCodeThatStoredIt) {
    struct Case {
        const char* message;
        const char* code;  // "" for none
    };
    const std::vector<Case> cases = {
        {"42 02 00 01 33", "P0133"},
        {"42 02 00 C1 00", "U0100"},
        {"42 02 00 52 34", "C1234"},
        {"42 02 00 00 00", ""},  // no frame stored
        {"42 02 01 01 33", ""},
        {"42 02 00 01", ""},
        {"42 02 00 01 33 00", ""},
        {"42 03 00 01 33", ""},
    };
    for (const Case& c : cases) {
        const auto code = decodeFreezeFrameCode(bytes(c.message));
        EXPECT_EQ(code ? code->toString() : "", c.code) << c.message;
    }
}

}  // namespace
}  // namespace vx414::obd
