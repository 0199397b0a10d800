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

// The usual emissions-inspection rule, as a guide for the user and not a promise: the
// check-engine light must be off; model year 2001 and later may have at most one incomplete
// monitor, and only the evaporative system; 1996 to 2000 at most two. An unknown model year
// (0) is judged by the stricter, newer rule. "Likely to pass the inspection (…)" or
// "Likely to fail the inspection (…)".
std::string inspectionVerdict(const MonitorReport& report, int modelYear);

}  // namespace vx414::obd
