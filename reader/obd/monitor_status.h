// Service 01 PID 01: the check-engine light, the number of stored codes and the readiness
// (I/M) monitors, and the inspection verdict drawn from them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "reader/vehicle_info.h"

namespace vx414::obd {

struct MonitorReport {
    bool mil = false;
    int storedCount = 0;
    bool compressionIgnition = false;
    // Every monitor the engine's kind names, in the usual order (the three continuous ones
    // first), NotSupported included.
    std::vector<MonitorStatus> monitors;
};

// 41 01 A B C D. Nothing when the message has another form.
std::optional<MonitorReport> decodeMonitorStatus(std::span<const std::uint8_t> message);

// Several units answer 01 01; the car's picture is their union: the light is on when any
// unit lights it, the stored counts add up, a monitor is supported when any unit supports
// it and complete only when every unit that supports it says so. Units of the other
// ignition kind than the first report's are left out (their bits name other monitors).
MonitorReport mergeMonitorReports(const std::vector<MonitorReport>& reports);

// How a US emissions (I/M) inspection takes the car, as a guide and not a promise (local
// programs differ): the check-engine light on fails it; otherwise it is rejected as not
// ready, to be driven and tested again, when too many monitors are incomplete: more than
// two for model years 1996 to 2000, more than one from 2001 on. Only the non-continuous
// monitors the car supports count; misfire, fuel system and comprehensive components run
// all the time and are shown but never counted. A diesel is counted the same way over its
// own monitors. Without a model year (0) the newer, stricter rule is applied and the text
// says so.
struct InspectionJudgement {
    InspectionVerdict verdict = InspectionVerdict::Ready;
    std::string text;                     // for the owner: "Ready for the inspection" …
    std::vector<std::string> incomplete;  // the counted monitors not complete, in order
};
InspectionJudgement judgeInspection(const MonitorReport& report, int modelYear);

// The year the user states for the car (a VIN that gives none: most cars of 1996 to 2000
// carry no VIN in the unit): the vehicle takes it, marked as given rather than read, and
// the verdict is judged again by it. A year of 0 takes a given year back to `readYear`,
// the one the VIN gave (0 when none).
void giveModelYear(VehicleInfo& vehicle, int year, int readYear);

}  // namespace vx414::obd
