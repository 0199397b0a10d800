#include "reader/obd/vehicle_assembly.h"

#include <algorithm>

#include "reader/obd/freeze_frame.h"
#include "reader/obd/monitor_status.h"
#include "reader/obd/permanent_codes.h"
#include "reader/obd/unit_name.h"
#include "reader/obd/vin.h"

namespace vx414::obd {
namespace {


// The units that answered with messages (not a refusal), or none when the answer failed.
std::vector<const UnitMessages*> answeringUnits(const ServiceAnswer* answer) {
    std::vector<const UnitMessages*> units;
    if (answer == nullptr || !answer->status.isOk() || answer->noData) return units;
    for (const UnitMessages& unit : answer->units) {
        if (!unit.refusal && !unit.messages.empty()) units.push_back(&unit);
    }
    return units;
}

std::vector<const UnitMessages*> answeringUnits(const std::optional<ServiceAnswer>& answer) {
    return answeringUnits(answer ? &*answer : nullptr);
}

UnitCodes& unitFor(std::vector<UnitCodes>& units, const std::string& sender) {
    const auto found = std::find_if(units.begin(), units.end(), [&](const UnitCodes& u) { return u.address == sender; });
    if (found != units.end()) return *found;
    units.push_back({sender, unitName(sender), {}, {}, {}});
    return units.back();
}

void addOnce(std::vector<TroubleCode>& codes, const TroubleCode& code) {
    if (std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
}

void readVin(const VehicleAnswers& answers, const WmiTable& wmi, int currentYear, VehicleInfo& info) {
    // A VIN that passes every check beats one kept despite its check digit.
    std::optional<VinRead> chosen;
    for (const UnitMessages* unit : answeringUnits(answers.vin)) {
        VinRead read = assembleVin(unit->messages);
        if (read.vin.empty()) continue;
        const bool clean = read.fault == VinFault::None;
        if (!chosen || (clean && chosen->fault != VinFault::None)) chosen = std::move(read);
        if (clean) break;
    }
    if (!chosen) return;
    info.vin = std::move(chosen->vin);
    if (chosen->fault == VinFault::CheckDigit) info.vinWarning = "check digit does not match: read it off the windscreen";
    info.make = std::string(wmi.makeFor(info.vin));
    info.modelYear = vinModelYear(info.vin, currentYear, answers.protocol);
}

void readMonitors(const VehicleAnswers& answers, VehicleInfo& info) {
    std::vector<MonitorReport> reports;
    for (const UnitMessages* unit : answeringUnits(answers.monitorStatus)) {
        // The engine unit's report comes first, so that its ignition kind names the monitors.
        auto report = decodeMonitorStatus(unit->messages.front());
        if (!report) continue;
        if (unitName(unit->sender) == "engine") {
            reports.insert(reports.begin(), std::move(*report));
        } else {
            reports.push_back(std::move(*report));
        }
    }
    if (reports.empty()) return;
    const MonitorReport merged = mergeMonitorReports(reports);
    info.mil = merged.mil;
    info.storedCount = merged.storedCount;
    info.compressionIgnition = merged.compressionIgnition;
    info.readiness = merged.monitors;
    InspectionJudgement judgement = judgeInspection(merged, info.modelYear);
    info.inspection = std::move(judgement.text);
    info.inspectionVerdict = judgement.verdict;
    info.incompleteMonitors = std::move(judgement.incomplete);
}

void readFreezeFrame(const VehicleAnswers& answers, VehicleInfo& info) {
    // Frame 0 of the first unit that says which code stored it; its values from that unit.
    std::string sender;
    FreezeFrame frame;
    for (const ServiceAnswer& answer : answers.freezeFrame) {
        for (const UnitMessages* unit : answeringUnits(&answer)) {
            if (const auto code = decodeFreezeFrameCode(unit->messages.front())) {
                sender = unit->sender;
                frame.code = *code;
                break;
            }
        }
        if (frame.code) break;
    }
    if (!frame.code) return;
    for (const ServiceAnswer& answer : answers.freezeFrame) {
        for (const UnitMessages* unit : answeringUnits(&answer)) {
            if (unit->sender != sender) continue;
            if (auto value = decodeFreezeValue(unit->messages.front())) frame.values.push_back(std::move(*value));
        }
    }
    info.freezeFrame = std::move(frame);
}

void readPermanentCodes(const VehicleAnswers& answers, VehicleInfo& info) {
    for (const UnitMessages* unit : answeringUnits(answers.permanentCodes)) {
        std::vector<TroubleCode> codes;
        bool wellFormed = true;
        for (const std::vector<std::uint8_t>& message : unit->messages) {
            const auto decoded = decodePermanentCodes(message);
            if (!decoded) {
                wellFormed = false;
                break;
            }
            codes.insert(codes.end(), decoded->begin(), decoded->end());
        }
        // A unit whose answer does not read is left out whole rather than shown in part.
        if (!wellFormed) continue;
        UnitCodes& entry = unitFor(info.units, unit->sender);
        for (const TroubleCode& code : codes) {
            addOnce(entry.permanent, code);
            addOnce(info.permanent, code);
        }
    }
}

// The items the read left unknown, and those whose answers came but do not read (a unit
// answered and nothing could be taken from it), in the order of VehicleItem.
void listNotRead(const VehicleAnswers& answers, VehicleInfo& info) {
    info.notRead = answers.notRead;
    const auto add = [&info](VehicleItem item) {
        const bool known = std::any_of(info.notRead.begin(), info.notRead.end(),
                                       [item](const ItemNotRead& entry) { return entry.item == item; });
        if (!known) info.notRead.push_back({item, "the answer could not be read"});
    };
    if (!answeringUnits(answers.monitorStatus).empty() && info.readiness.empty()) add(VehicleItem::Readiness);
    if (!answers.freezeFrame.empty() && !info.freezeFrame) {
        // A unit that answered 0000 holds no frame: that is known.
        const auto units = answeringUnits(&answers.freezeFrame.front());
        const bool anyCode = std::any_of(units.begin(), units.end(), [](const UnitMessages* unit) {
            const auto& message = unit->messages.front();
            return !(message.size() == 5 && message[3] == 0 && message[4] == 0);
        });
        if (anyCode) add(VehicleItem::FreezeFrame);
    }
    if (!answeringUnits(answers.vin).empty() && info.vin.empty()) add(VehicleItem::Vin);
    std::stable_sort(info.notRead.begin(), info.notRead.end(),
                     [](const ItemNotRead& a, const ItemNotRead& b) { return a.item < b.item; });
}

}  // namespace

VehicleInfo assembleVehicleInfo(const VehicleAnswers& answers, const WmiTable& wmi, int currentYear) {
    VehicleInfo info;
    for (const UnitCodeLists& unit : answers.codes) {
        UnitCodes& entry = unitFor(info.units, unit.sender);
        for (const TroubleCode& code : unit.pending) addOnce(entry.pending, code);
        for (const TroubleCode& code : unit.stored) addOnce(entry.stored, code);
    }
    readVin(answers, wmi, currentYear, info);
    readMonitors(answers, info);
    readFreezeFrame(answers, info);
    readPermanentCodes(answers, info);
    listNotRead(answers, info);
    return info;
}

}  // namespace vx414::obd
