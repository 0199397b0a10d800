// Live values written out: one CSV row or one JSON line per sample, in the units chosen.
// Shared by vx414-read --live and the Live data window's recording. No Qt.
//
// CSV: a heading row "time (s)" and one column per value, its unit in brackets ("Engine
// speed (rpm)"); each row the seconds since the start and every value, empty where the
// car gave none that round. JSON lines: {"time":1.25,"values":{"Engine speed":{"value":812,
// "unit":"rpm"}},"no_answer":["0A"]}. Numbers always with "." and whole, as numberText
// writes them; lines end with LF. Values from an emulator carry its mark, `source`
// ("emulator", report_format.h's kEmulatorSource): a last column "source" in CSV, a member
// "source" after "time" in JSON; a car's values have neither.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reader/obd/live_pids.h"
#include "report/unit_system.h"

namespace vx414 {

// A value's column heading: "Engine speed (rpm)", "Fuel type" for a value without a unit.
std::string liveHeading(const obd::PidField& field, UnitSystem units);
// A value as its column shows it: "812", "-4.7", "Gasoline" for PID 51.
std::string liveValueText(const obd::LiveValue& value, UnitSystem units);

std::string liveCsvHeader(std::span<const obd::PidField* const> columns, UnitSystem units,
                          std::string_view source = {});
std::string liveCsvRow(const obd::LiveSample& sample, std::span<const obd::PidField* const> columns, UnitSystem units,
                       std::string_view source = {});
std::string liveJsonLine(const obd::LiveSample& sample, UnitSystem units, std::string_view source = {});

}  // namespace vx414
