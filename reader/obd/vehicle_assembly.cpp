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

// Said of an item whose answers came from several units that the adapter did not tell apart
// (it shows no headers), where they cannot be combined as they stand.
constexpr const char* UnattributedReason = "the adapter does not show which unit answered";

// Items that cannot be told, and why, as the assembly finds them.
using Doubts = std::vector<ItemNotRead>;

UnitCodes& unitFor(std::vector<UnitCodes>& units, const std::string& sender) {
    const auto found = std::find_if(units.begin(), units.end(), [&](const UnitCodes& u) { return u.address == sender; });
    if (found != units.end()) return *found;
    units.push_back({sender, unitName(sender), {}, {}, {}});
    return units.back();
}

void addOnce(std::vector<TroubleCode>& codes, const TroubleCode& code) {
    if (std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
}

// The VIN of messages the adapter did not tell apart (no headers): one unit's whole, or each
// message a unit's (a CAN unit sends its VIN in one message) when all that decode agree.
// Empty, and `ambiguous` set, when they do not.
VinRead unattributedVin(const std::vector<std::vector<std::uint8_t>>& messages, bool& ambiguous) {
    VinRead whole = assembleVin(messages);
    if (!whole.vin.empty() || messages.size() < 2) return whole;
    std::optional<VinRead> agreed;
    for (const std::vector<std::uint8_t>& message : messages) {
        VinRead one = assembleVin({message});
        if (one.vin.empty()) continue;
        if (agreed && agreed->vin != one.vin) {
            ambiguous = true;
            return {};
        }
        if (!agreed || one.fault == VinFault::None) agreed = std::move(one);
    }
    if (!agreed) ambiguous = true;
    return agreed.value_or(VinRead{});
}

void readVin(const VehicleAnswers& answers, const WmiTable& wmi, int currentYear, VehicleInfo& info, Doubts& doubts) {
    // A VIN that passes every check beats one kept despite its check digit.
    std::optional<VinRead> chosen;
    bool ambiguous = false;
    for (const UnitMessages* unit : answeringUnits(answers.vin)) {
        VinRead read = unit->sender.empty() ? unattributedVin(unit->messages, ambiguous) : assembleVin(unit->messages);
        if (read.vin.empty()) continue;
        const bool clean = read.fault == VinFault::None;
        if (!chosen || (clean && chosen->fault != VinFault::None)) chosen = std::move(read);
        if (clean) break;
    }
    if (!chosen && ambiguous) doubts.push_back({VehicleItem::Vin, UnattributedReason});
    if (!chosen) return;
    info.vin = std::move(chosen->vin);
    if (chosen->fault == VinFault::CheckDigit) info.vinWarning = "check digit does not match: read it off the windscreen";
    info.make = std::string(wmi.makeFor(info.vin));
    info.modelYear = vinModelYear(info.vin, currentYear, answers.protocol);
}

void readMonitors(const VehicleAnswers& answers, VehicleInfo& info, Doubts& doubts) {
    std::vector<MonitorReport> reports;
    std::vector<MonitorReport> unattributed;
    for (const UnitMessages* unit : answeringUnits(answers.monitorStatus)) {
        // Without headers every unit's answer comes under one blank sender: each message is
        // a unit's report, and they combine as J1979 combines them (the light on when any
        // says so, a monitor complete only when every unit supporting it says so).
        if (unit->sender.empty()) {
            for (const std::vector<std::uint8_t>& message : unit->messages) {
                if (auto report = decodeMonitorStatus(message)) unattributed.push_back(std::move(*report));
            }
            continue;
        }
        // The engine unit's report comes first, so that its ignition kind names the monitors.
        auto report = decodeMonitorStatus(unit->messages.front());
        if (!report) continue;
        if (unitName(unit->sender) == "engine") {
            reports.insert(reports.begin(), std::move(*report));
        } else {
            reports.push_back(std::move(*report));
        }
    }
    // Reports of both ignition kinds and no name to tell which is the engine's: the monitors
    // cannot be named.
    const bool mixed = std::any_of(unattributed.begin(), unattributed.end(), [&](const MonitorReport& report) {
        return report.compressionIgnition != unattributed.front().compressionIgnition;
    });
    if (mixed) {
        doubts.push_back({VehicleItem::Readiness, UnattributedReason});
        return;
    }
    reports.insert(reports.end(), unattributed.begin(), unattributed.end());
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

void readFreezeFrame(const VehicleAnswers& answers, VehicleInfo& info, Doubts& doubts) {
    // Frame 0 of the first unit that says which code stored it; its values from that unit.
    std::string sender;
    FreezeFrame frame;
    std::size_t holders = 0;  // messages naming a code, under the holder's sender
    for (const ServiceAnswer& answer : answers.freezeFrame) {
        for (const UnitMessages* unit : answeringUnits(&answer)) {
            for (const std::vector<std::uint8_t>& message : unit->messages) {
                const auto code = decodeFreezeFrameCode(message);
                if (!code) continue;
                if (!frame.code) {
                    sender = unit->sender;
                    frame.code = *code;
                }
                if (unit->sender == sender) ++holders;
            }
            if (frame.code) break;
        }
        if (frame.code) break;
    }
    if (!frame.code) return;
    // Without headers a value can only be placed when one message answers it: with several
    // units answering, which one is the holder's is not known.
    bool ambiguous = sender.empty() && holders > 1;
    for (const ServiceAnswer& answer : answers.freezeFrame) {
        for (const UnitMessages* unit : answeringUnits(&answer)) {
            if (unit->sender != sender) continue;
            if (sender.empty() && unit->messages.size() > 1) ambiguous = true;
            if (auto value = decodeFreezeValue(unit->messages.front())) frame.values.push_back(std::move(*value));
        }
    }
    if (ambiguous) {
        doubts.push_back({VehicleItem::FreezeFrame, UnattributedReason});
        return;
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
void listNotRead(const VehicleAnswers& answers, const Doubts& doubts, VehicleInfo& info) {
    info.notRead = answers.notRead;
    for (const ItemNotRead& doubt : doubts) {
        const bool known = std::any_of(info.notRead.begin(), info.notRead.end(),
                                       [&doubt](const ItemNotRead& entry) { return entry.item == doubt.item; });
        if (!known) info.notRead.push_back(doubt);
    }
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
            return std::any_of(unit->messages.begin(), unit->messages.end(), [](const std::vector<std::uint8_t>& message) {
                return !(message.size() == 5 && message[3] == 0 && message[4] == 0);
            });
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
    Doubts doubts;
    readVin(answers, wmi, currentYear, info, doubts);
    readMonitors(answers, info, doubts);
    readFreezeFrame(answers, info, doubts);
    readPermanentCodes(answers, info);
    listNotRead(answers, doubts, info);
    return info;
}

}  // namespace vx414::obd
