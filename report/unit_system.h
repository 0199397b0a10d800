// Metric or US units for the values a car gives, and numbers written the same way in every
// locale. The decoders give SI units (km/h, °C, kPa …); what a user reads is converted here,
// in one place for the live data, the vehicle report and the printed page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "reader/vehicle_info.h"

namespace vx414 {

enum class UnitSystem { Metric, Us };

// "metric" or "us" (as --units and the settings file spell them); nothing for another word.
std::optional<UnitSystem> parseUnitSystem(std::string_view text);
std::string_view unitSystemName(UnitSystem system);

struct Quantity {
    double value = 0;
    std::string_view unit;
    int extraDecimals = 0;  // the places a finer unit needs beyond the SI value's
};

// A value in its SI unit as the system shows it: in US units km/h as mph, km as miles,
// °C as °F, kPa as psi, Pa as inches of water, L/h as US gallons an hour; every other unit
// (rpm, %, V, g/s …) and every metric value as it is.
Quantity inUnits(double value, std::string_view siUnit, UnitSystem system);

// The vehicle's freeze-frame values in `system`'s units; every other item as it is.
VehicleInfo vehicleInUnits(VehicleInfo vehicle, UnitSystem system);

// The number with exactly `decimals` places and "." before them, whatever the locale: "83",
// "-4.7", "0.450". Never a separator without digits after it, never "-0". "?" for a value
// that is not a number.
std::string numberText(double value, int decimals);

// The units the user chose last, kept between runs in `folder`/units (a line "metric" or
// "us"; folder: $XDG_CONFIG_HOME/vx414, see unitChoiceFolder). Metric when none was kept
// or the file does not read.
UnitSystem loadUnitChoice(const std::string& folder);
// Keeps the choice; false when the file cannot be written.
bool saveUnitChoice(const std::string& folder, UnitSystem system);
// $XDG_CONFIG_HOME/vx414, else ~/.config/vx414; empty when neither is known.
std::string unitChoiceFolder();

}  // namespace vx414
