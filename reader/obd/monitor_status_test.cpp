#include "reader/obd/monitor_status.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader/obd/test_bytes.h"

namespace vx414::obd {
namespace {

using testing::bytes;

// "Misfire +, Catalyst -, EGR/VVT system ." : complete, incomplete, not supported.
std::string shown(const std::vector<MonitorStatus>& monitors) {
    std::string text;
    for (const MonitorStatus& m : monitors) {
        if (!text.empty()) text += ", ";
        text += m.monitor;
        text += m.state == MonitorState::Complete ? " +" : m.state == MonitorState::Incomplete ? " -" : " .";
    }
    return text;
}

TEST(MonitorStatus, ReadinessBytesOfSparkAndDieselEngines) {
    struct Case {
        const char* message;
        bool mil;
        int stored;
        bool diesel;
        const char* monitors;
    };
    const std::vector<Case> cases = {
        // Light on, three codes; continuous monitors complete; catalyst, evaporative system,
        // oxygen sensor and its heater supported, the evaporative system incomplete.
        {"41 01 83 07 65 04", true, 3, false,
         "Misfire +, Fuel system +, Comprehensive components +, Catalyst +, Heated catalyst ., "
         "Evaporative system -, Secondary air system ., A/C refrigerant ., Oxygen sensor +, "
         "Oxygen sensor heater +, EGR/VVT system ."},
        // Light off, no codes; every spark monitor supported and incomplete (just cleared).
        {"41 01 00 77 FF FF", false, 0, false,
         "Misfire -, Fuel system -, Comprehensive components -, Catalyst -, Heated catalyst -, "
         "Evaporative system -, Secondary air system -, A/C refrigerant -, Oxygen sensor -, "
         "Oxygen sensor heater -, EGR/VVT system -"},
        // Complete bits of unsupported monitors say nothing.
        {"41 01 7F 00 00 FF", false, 127, false,
         "Misfire ., Fuel system ., Comprehensive components ., Catalyst ., Heated catalyst ., "
         "Evaporative system ., Secondary air system ., A/C refrigerant ., Oxygen sensor ., "
         "Oxygen sensor heater ., EGR/VVT system ."},
        // Compression ignition: the fuel system incomplete; NMHC catalyst, NOx/SCR, boost,
        // exhaust gas sensor, PM filter and EGR supported, the PM filter incomplete.
        {"41 01 81 2F EB 40", true, 1, true,
         "Misfire +, Fuel system -, Comprehensive components +, NMHC catalyst +, "
         "NOx/SCR aftertreatment +, Boost pressure +, Exhaust gas sensor +, PM filter -, EGR/VVT system +"},
        // The reserved diesel bits (2 and 4) name no monitor.
        {"41 01 00 0F 14 14", false, 0, true,
         "Misfire +, Fuel system +, Comprehensive components +, NMHC catalyst ., "
         "NOx/SCR aftertreatment ., Boost pressure ., Exhaust gas sensor ., PM filter ., EGR/VVT system ."},
    };
    for (const Case& c : cases) {
        const auto report = decodeMonitorStatus(bytes(c.message));
        ASSERT_TRUE(report) << c.message;
        EXPECT_EQ(report->mil, c.mil) << c.message;
        EXPECT_EQ(report->storedCount, c.stored) << c.message;
        EXPECT_EQ(report->compressionIgnition, c.diesel) << c.message;
        EXPECT_EQ(shown(report->monitors), c.monitors) << c.message;
    }
    for (const char* other : {"41 01 83 07 65", "41 01 83 07 65 04 00", "41 00 83 07 65 04", "42 01 83 07 65 04", ""}) {
        EXPECT_FALSE(decodeMonitorStatus(bytes(other))) << other;
    }
}

TEST(MonitorStatus, UnitsMergeIntoTheCarsPicture) {
    // Engine: catalyst complete, evaporative incomplete. Transmission: no light, one code,
    // only comprehensive components, incomplete. A diesel-flagged unit is left out.
    const auto engine = *decodeMonitorStatus(bytes("41 01 82 07 05 04"));
    const auto transmission = *decodeMonitorStatus(bytes("41 01 01 44 00 00"));
    const auto diesel = *decodeMonitorStatus(bytes("41 01 00 0F FF FF"));
    const MonitorReport merged = mergeMonitorReports({engine, transmission, diesel});
    EXPECT_TRUE(merged.mil);
    EXPECT_EQ(merged.storedCount, 3);
    EXPECT_FALSE(merged.compressionIgnition);
    EXPECT_EQ(shown(merged.monitors),
              "Misfire +, Fuel system +, Comprehensive components -, Catalyst +, Heated catalyst ., "
              "Evaporative system -, Secondary air system ., A/C refrigerant ., Oxygen sensor ., "
              "Oxygen sensor heater ., EGR/VVT system .");
}

TEST(MonitorStatus, InspectionVerdictByModelYear) {
    struct Case {
        const char* message;
        int modelYear;
        const char* verdict;
    };
    const std::vector<Case> cases = {
        {"41 01 00 07 65 00", 2015, "Likely to pass the inspection (all supported monitors complete)"},
        {"41 01 00 07 65 04", 2015, "Likely to pass the inspection (incomplete: Evaporative system)"},
        {"41 01 00 07 65 01", 2015, "Likely to fail the inspection (incomplete: Catalyst)"},
        {"41 01 00 07 65 05", 2015, "Likely to fail the inspection (incomplete: Catalyst, Evaporative system)"},
        {"41 01 00 07 65 05", 2001, "Likely to fail the inspection (incomplete: Catalyst, Evaporative system)"},
        {"41 01 00 07 65 05", 2000, "Likely to pass the inspection (incomplete: Catalyst, Evaporative system)"},
        {"41 01 00 07 65 05", 1996, "Likely to pass the inspection (incomplete: Catalyst, Evaporative system)"},
        {"41 01 00 07 65 25", 1999,
         "Likely to fail the inspection (incomplete: Catalyst, Evaporative system, Oxygen sensor)"},
        // A continuous monitor counts like any other.
        {"41 01 00 17 65 04", 2010, "Likely to fail the inspection (incomplete: Misfire, Evaporative system)"},
        // An unknown model year is judged by the newer rule.
        {"41 01 00 07 65 01", 0, "Likely to fail the inspection (incomplete: Catalyst)"},
        {"41 01 00 07 65 04", 0, "Likely to pass the inspection (incomplete: Evaporative system)"},
        // The light fails it whatever the monitors say.
        {"41 01 81 07 65 00", 1998, "Likely to fail the inspection (the check-engine light is on)"},
        // Incomplete bits of unsupported monitors do not count.
        {"41 01 00 07 00 FF", 2015, "Likely to pass the inspection (all supported monitors complete)"},
        {"41 01 00 0F EB 40", 2015, "Likely to fail the inspection (incomplete: PM filter)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(inspectionVerdict(*decodeMonitorStatus(bytes(c.message)), c.modelYear), c.verdict)
            << c.message << " " << c.modelYear;
    }
}

}  // namespace
}  // namespace vx414::obd
