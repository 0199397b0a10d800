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

TEST(MonitorStatus, InspectionVerdictAsUsProgramsJudgeIt) {
    constexpr const char* Unknown =
        " (model year unknown: judged by the rule for 2001 and later, at most one monitor incomplete)";
    constexpr const char* Drive = "): drive the car until they complete, then test";
    struct Case {
        const char* what;
        const char* message;
        int modelYear;
        InspectionVerdict verdict;
        std::string text;
        const char* incomplete;
    };
    using enum InspectionVerdict;
    const std::vector<Case> cases = {
        {"all complete", "41 01 00 07 65 00", 2015, Ready, "Ready for the inspection", ""},
        {"2001+: any one may be incomplete", "41 01 00 07 65 01", 2015, Ready, "Ready for the inspection", "Catalyst"},
        {"2001+: two are too many", "41 01 00 07 65 05", 2012, NotReady,
         std::string("Not ready for the inspection (incomplete: Catalyst, Evaporative system") + Drive,
         "Catalyst, Evaporative system"},
        {"2001 is the first year of the newer rule", "41 01 00 07 65 05", 2001, NotReady,
         std::string("Not ready for the inspection (incomplete: Catalyst, Evaporative system") + Drive,
         "Catalyst, Evaporative system"},
        {"1996-2000: two may be incomplete", "41 01 00 07 65 05", 2000, Ready, "Ready for the inspection",
         "Catalyst, Evaporative system"},
        {"1996-2000: three are too many", "41 01 00 07 65 25", 1996, NotReady,
         std::string("Not ready for the inspection (incomplete: Catalyst, Evaporative system, Oxygen sensor") + Drive,
         "Catalyst, Evaporative system, Oxygen sensor"},
        {"continuous monitors are never counted", "41 01 00 77 65 04", 2010, Ready, "Ready for the inspection",
         "Evaporative system"},
        {"continuous monitors alone", "41 01 00 77 65 00", 2010, Ready, "Ready for the inspection", ""},
        {"unsupported monitors do not count", "41 01 00 07 00 FF", 2015, Ready, "Ready for the inspection", ""},
        {"the light fails it whatever the monitors", "41 01 81 07 65 00", 1998, Fails,
         "Fails the inspection (the check-engine light is on)", ""},
        {"the light before readiness", "41 01 82 07 65 25", 2015, Fails,
         "Fails the inspection (the check-engine light is on)", "Catalyst, Evaporative system, Oxygen sensor"},
        {"unknown year: the newer rule, said", "41 01 00 07 65 05", 0, NotReady,
         std::string("Not ready for the inspection (incomplete: Catalyst, Evaporative system") + Drive + Unknown,
         "Catalyst, Evaporative system"},
        {"unknown year, ready", "41 01 00 07 65 04", 0, Ready, std::string("Ready for the inspection") + Unknown,
         "Evaporative system"},
        {"unknown year, light on: no rule needed", "41 01 81 07 65 00", 0, Fails,
         "Fails the inspection (the check-engine light is on)", ""},
        {"diesel 2001+: one of its own may be incomplete", "41 01 00 0F EB 40", 2015, Ready, "Ready for the inspection",
         "PM filter"},
        {"diesel 2001+: two are too many", "41 01 00 0F EB 41", 2015, NotReady,
         std::string("Not ready for the inspection (incomplete: NMHC catalyst, PM filter") + Drive,
         "NMHC catalyst, PM filter"},
        {"diesel 1996-2000: two may be", "41 01 00 0F EB 41", 1999, Ready, "Ready for the inspection",
         "NMHC catalyst, PM filter"},
        {"diesel: its fuel system is continuous", "41 01 00 2F EB 40", 2015, Ready, "Ready for the inspection",
         "PM filter"},
    };
    for (const Case& c : cases) {
        const InspectionJudgement j = judgeInspection(*decodeMonitorStatus(bytes(c.message)), c.modelYear);
        std::string incomplete;
        for (const std::string& m : j.incomplete) incomplete += (incomplete.empty() ? "" : ", ") + m;
        EXPECT_EQ(j.verdict, c.verdict) << c.what;
        EXPECT_EQ(j.text, c.text) << c.what;
        EXPECT_EQ(incomplete, c.incomplete) << c.what;
    }
}

}  // namespace
}  // namespace vx414::obd
