#include "reader/obd/monitor_status.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vx414::obd {
namespace {

// The monitor each bit of bytes C (supported) and D (incomplete) stands for; empty names
// are reserved bits.
constexpr std::array<std::string_view, 8> SparkMonitors = {
    "Catalyst",      "Heated catalyst",      "Evaporative system", "Secondary air system",
    "A/C refrigerant", "Oxygen sensor", "Oxygen sensor heater", "EGR/VVT system"};
constexpr std::array<std::string_view, 8> DieselMonitors = {
    "NMHC catalyst", "NOx/SCR aftertreatment", "", "Boost pressure", "", "Exhaust gas sensor", "PM filter",
    "EGR/VVT system"};
// Byte B: bits 0 to 2 supported, bits 4 to 6 incomplete.
constexpr std::array<std::string_view, 3> ContinuousMonitors = {"Misfire", "Fuel system", "Comprehensive components"};

// Misfire, fuel system and comprehensive components run all the time: shown, never counted.
bool isContinuousMonitor(std::string_view monitor) {
    return std::find(ContinuousMonitors.begin(), ContinuousMonitors.end(), monitor) != ContinuousMonitors.end();
}

MonitorState stateOf(bool supported, bool incomplete) {
    if (!supported) return MonitorState::NotSupported;
    return incomplete ? MonitorState::Incomplete : MonitorState::Complete;
}

}  // namespace

std::optional<MonitorReport> decodeMonitorStatus(std::span<const std::uint8_t> message) {
    if (message.size() != 6 || message[0] != 0x41 || message[1] != 0x01) return std::nullopt;
    const unsigned a = message[2], b = message[3], c = message[4], d = message[5];
    MonitorReport report;
    report.mil = (a & 0x80U) != 0;
    report.storedCount = static_cast<int>(a & 0x7FU);
    report.compressionIgnition = (b & 0x08U) != 0;
    for (unsigned bit = 0; bit < ContinuousMonitors.size(); ++bit) {
        report.monitors.push_back({std::string(ContinuousMonitors[bit]),
                                   stateOf(((b >> bit) & 1U) != 0, ((b >> (bit + 4U)) & 1U) != 0)});
    }
    const auto& names = report.compressionIgnition ? DieselMonitors : SparkMonitors;
    for (unsigned bit = 0; bit < names.size(); ++bit) {
        if (names[bit].empty()) continue;
        report.monitors.push_back({std::string(names[bit]), stateOf(((c >> bit) & 1U) != 0, ((d >> bit) & 1U) != 0)});
    }
    return report;
}

MonitorReport mergeMonitorReports(const std::vector<MonitorReport>& reports) {
    MonitorReport merged;
    if (reports.empty()) return merged;
    merged.compressionIgnition = reports.front().compressionIgnition;
    merged.monitors = reports.front().monitors;
    for (MonitorStatus& monitor : merged.monitors) monitor.state = MonitorState::NotSupported;
    for (const MonitorReport& report : reports) {
        merged.mil = merged.mil || report.mil;
        merged.storedCount += report.storedCount;
        if (report.compressionIgnition != merged.compressionIgnition) continue;
        for (std::size_t i = 0; i < merged.monitors.size() && i < report.monitors.size(); ++i) {
            MonitorState& state = merged.monitors[i].state;
            const MonitorState other = report.monitors[i].state;
            if (other == MonitorState::Incomplete || (other == MonitorState::Complete && state == MonitorState::NotSupported)) {
                state = other;
            }
        }
    }
    return merged;
}

InspectionJudgement judgeInspection(const MonitorReport& report, int modelYear) {
    InspectionJudgement judgement;
    for (const MonitorStatus& monitor : report.monitors) {
        if (monitor.state == MonitorState::Incomplete && !isContinuousMonitor(monitor.monitor))
            judgement.incomplete.push_back(monitor.monitor);
    }
    if (report.mil) {
        judgement.verdict = InspectionVerdict::Fails;
        judgement.text = "Fails the inspection (the check-engine light is on)";
        return judgement;
    }
    // The rare OBD-II car of a model year before 1996 is judged as the 1996 to 2000 ones.
    const bool older = modelYear > 0 && modelYear <= 2000;
    const std::size_t allowed = older ? 2 : 1;
    if (judgement.incomplete.size() > allowed) {
        judgement.verdict = InspectionVerdict::NotReady;
        judgement.text = "Not ready for the inspection (incomplete: ";
        for (std::size_t i = 0; i < judgement.incomplete.size(); ++i) {
            if (i > 0) judgement.text += ", ";
            judgement.text += judgement.incomplete[i];
        }
        judgement.text += "): drive the car until they complete, then test";
    } else {
        judgement.verdict = InspectionVerdict::Ready;
        judgement.text = "Ready for the inspection";
    }
    if (modelYear <= 0)
        judgement.text += " (model year unknown: judged by the rule for 2001 and later, at most one monitor incomplete)";
    return judgement;
}

void giveModelYear(VehicleInfo& vehicle, int year, int readYear) {
    vehicle.modelYear = year > 0 ? year : readYear;
    vehicle.modelYearGiven = year > 0;
    if (vehicle.readiness.empty() || !vehicle.inspectionVerdict) return;
    const MonitorReport report{vehicle.mil.value_or(false), vehicle.storedCount, vehicle.compressionIgnition,
                               vehicle.readiness};
    InspectionJudgement judgement = judgeInspection(report, vehicle.modelYear);
    vehicle.inspection = std::move(judgement.text);
    vehicle.inspectionVerdict = judgement.verdict;
    vehicle.incompleteMonitors = std::move(judgement.incomplete);
}

}  // namespace vx414::obd
