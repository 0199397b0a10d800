#include "report/unit_system.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "tests/decimal_comma_locale.h"

namespace vx414 {
namespace {

TEST(UnitSystem, UsUnitsConvertAndMetricStays) {
    struct Case {
        double value;
        const char* si;
        UnitSystem system;
        const char* text;  // numberText with the SI value's places plus the unit's
        const char* unit;
    };
    const std::vector<Case> cases = {
        {100.0, "km/h", UnitSystem::Us, "62", "mph"},
        {100.0, "km/h", UnitSystem::Metric, "100", "km/h"},
        {1609.344, "km", UnitSystem::Us, "1000", "mi"},
        {83.0, "°C", UnitSystem::Us, "181", "°F"},
        {-40.0, "°C", UnitSystem::Us, "-40", "°F"},
        {0.0, "°C", UnitSystem::Us, "32", "°F"},
        {101.0, "kPa", UnitSystem::Us, "14.6", "psi"},
        {-8192.0, "Pa", UnitSystem::Us, "-32.89", "inH2O"},
        {37.85411784, "L/h", UnitSystem::Us, "10", "gal/h"},
        {800.0, "rpm", UnitSystem::Us, "800", "rpm"},
        {14.1, "%", UnitSystem::Us, "14", "%"},
    };
    for (const Case& c : cases) {
        const Quantity q = inUnits(c.value, c.si, c.system);
        EXPECT_EQ(numberText(q.value, q.extraDecimals), c.text) << c.value << " " << c.si;
        EXPECT_EQ(q.unit, c.unit) << c.value << " " << c.si;
    }
    // The vehicle report's freeze frame follows the choice too.
    VehicleInfo vehicle;
    vehicle.freezeFrame = FreezeFrame{std::nullopt, {{"Coolant temperature", 83, "°C"}, {"Engine speed", 800, "rpm"},
                                                     {"Vehicle speed", 100, "km/h"}}};
    const VehicleInfo us = vehicleInUnits(vehicle, UnitSystem::Us);
    EXPECT_EQ(numberText(us.freezeFrame->values[0].value, 1) + us.freezeFrame->values[0].unit, "181.4°F");
    EXPECT_EQ(numberText(us.freezeFrame->values[1].value, 0) + us.freezeFrame->values[1].unit, "800rpm");
    EXPECT_EQ(numberText(us.freezeFrame->values[2].value, 2) + us.freezeFrame->values[2].unit, "62.14mph");
    EXPECT_EQ(vehicleInUnits(vehicle, UnitSystem::Metric).freezeFrame->values[0].unit, "°C");
    EXPECT_EQ(parseUnitSystem("us"), UnitSystem::Us);
    EXPECT_EQ(parseUnitSystem("metric"), UnitSystem::Metric);
    EXPECT_EQ(parseUnitSystem("US"), std::nullopt);
    EXPECT_EQ(parseUnitSystem("imperial"), std::nullopt);
}

TEST(UnitSystem, NumbersAreWholeInEveryLocale) {
    // A German locale, where printf writes 83,0: the text keeps its ".".
    const testing::DecimalCommaLocale german;
    EXPECT_TRUE(german.ok());
    struct Case {
        double value;
        int decimals;
        const char* text;
    };
    const std::vector<Case> cases = {
        {83.0, 0, "83"},      {83.0, 1, "83.0"},   {-4.6875, 1, "-4.7"}, {0.45, 3, "0.450"},
        {-0.04, 1, "0.0"},    {-0.4, 0, "0"},      {16383.75, 2, "16383.75"},
        {std::numeric_limits<double>::infinity(), 1, "?"}, {std::numeric_limits<double>::quiet_NaN(), 0, "?"}, {2.5, -1, "2"},
    };
    for (const Case& c : cases) EXPECT_EQ(numberText(c.value, c.decimals), c.text) << c.value;
}

TEST(UnitSystem, TheChoiceIsKeptBetweenRuns) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vx414-units-XXXXXX").string();
    const std::filesystem::path folder = std::string(mkdtemp(pattern.data())) + "/vx414";
    EXPECT_EQ(loadUnitChoice(folder.string()), UnitSystem::Metric);  // nothing kept yet
    ASSERT_TRUE(saveUnitChoice(folder.string(), UnitSystem::Us));
    EXPECT_EQ(loadUnitChoice(folder.string()), UnitSystem::Us);
    ASSERT_TRUE(saveUnitChoice(folder.string(), UnitSystem::Metric));
    EXPECT_EQ(loadUnitChoice(folder.string()), UnitSystem::Metric);
    std::ofstream(folder / "units") << "furlongs\n";
    EXPECT_EQ(loadUnitChoice(folder.string()), UnitSystem::Metric);
    EXPECT_FALSE(saveUnitChoice("", UnitSystem::Us));
    std::filesystem::remove_all(folder.parent_path());
}

}  // namespace
}  // namespace vx414
