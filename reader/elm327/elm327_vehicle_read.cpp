#include "reader/elm327/elm327_vehicle_read.h"

#include <algorithm>
#include <array>

#include "reader/obd/freeze_frame.h"

namespace vx414::elm327 {
namespace {

// Why an answer leaves its item unknown, or nothing when it tells the item (read, or not
// supported by the car: NO DATA, a refusal). `listed`: some unit said it supports what was
// asked, so that NO DATA is no answer rather than none.
std::optional<std::string> missing(const ServiceAnswer& answer, bool listed) {
    if (!answer.status.isOk()) return notReadReason(answer.status);
    if (listed && answer.noData) return "no answer in time";
    return std::nullopt;
}

class Items {
public:
    explicit Items(std::vector<ItemNotRead>& notRead) : notRead_(notRead) {}
    // Records `item` as not read because of `answer`, when its answer leaves it unknown;
    // true when it did.
    bool check(VehicleItem item, const ServiceAnswer& answer, bool listed = false) {
        const auto reason = missing(answer, listed);
        if (reason) add(item, *reason);
        return reason.has_value();
    }
    void add(VehicleItem item, std::string reason) {
        const bool known = std::any_of(notRead_.begin(), notRead_.end(), [item](const ItemNotRead& entry) {
            return entry.item == item;
        });
        if (!known) notRead_.push_back({item, std::move(reason)});
    }

private:
    std::vector<ItemNotRead>& notRead_;
};

// PID 01 is asked straight away rather than after 01 00: a unit that supports it answers,
// the others stay silent or refuse, so the list of supported PIDs would only cost a request
// (and on a slow adapter a line a unit) without changing what is learnt. Every OBD unit
// must answer it, so NO DATA is no answer.
void readReadiness(CarRequests& requests, const std::vector<std::string>& units, obd::VehicleAnswers& answers,
                   Items& items) {
    RequestPlan plan;
    plan.units = units;
    plan.frames = units.size();
    plan.exact = !units.empty();
    plan.listed = true;
    answers.monitorStatus = requests("0101", plan);
    items.check(VehicleItem::Readiness, *answers.monitorStatus, true);
}

// Frame 0: which PIDs each unit keeps (02 00), the code that stored it (02 02), then its
// values from every unit that lists them, as many a request as keep each answer one frame.
void readFreezeFrame(PidReader& pids, obd::VehicleAnswers& answers, Items& items) {
    constexpr std::array<std::uint8_t, 1> Support = {0x00};
    const auto supportRead = pids.read(0x02, Support);
    if (supportRead.empty() || items.check(VehicleItem::FreezeFrame, supportRead.front().second)) return;
    const PidSupport listed = supportBySender(supportRead.front().second);
    // No unit listing PID 02: no unit keeps a frame.
    if (supporting(listed, 0x02) == 0) return;
    constexpr std::array<std::uint8_t, 1> Code = {0x02};
    auto codeRead = pids.read(0x02, Code, &listed);
    if (codeRead.empty()) return;
    answers.freezeFrame.push_back(std::move(codeRead.front().second));
    const ServiceAnswer& code = answers.freezeFrame.back();
    if (items.check(VehicleItem::FreezeFrame, code, true)) return;
    // A unit whose code is 0000 holds no frame; without a holder there are no values.
    const bool held = std::any_of(code.units.begin(), code.units.end(), [](const UnitMessages& unit) {
        return std::any_of(unit.messages.begin(), unit.messages.end(),
                           [](const std::vector<std::uint8_t>& message) { return obd::decodeFreezeFrameCode(message).has_value(); });
    });
    if (!held) return;
    for (auto& [pid, answer] : pids.read(0x02, obd::freezeFramePids(), &listed)) {
        items.check(VehicleItem::FreezeFrame, answer, true);
        answers.freezeFrame.push_back(std::move(answer));
    }
}

}  // namespace

std::string notReadReason(const LinkStatus& status) {
    const std::string_view reason = status.reason();
    switch (status.code()) {
    case LinkCode::Ok: return {};
    case LinkCode::Timeout:
        if (reason == "stopped" || reason == "the read was stopped") return "the read was stopped";
        return "no answer in time";
    case LinkCode::Io:
    case LinkCode::NoDevice: return "the adapter stopped answering";
    case LinkCode::NoVehicle: return "the car stopped answering";
    default: break;
    }
    if (reason == "adapter reset") return "the adapter reset";
    return "the answer could not be read";
}

VehicleRead readVehicleAnswers(const ServiceAsker& ask, const std::vector<std::string>& units, int protocol,
                               AnswerProofs* proofs, CombinedForms* forms) {
    VehicleRead read;
    obd::VehicleAnswers& answers = read.answers;
    answers.protocol = protocol;
    Items items(answers.notRead);
    CarRequests requests(ask, protocol == 0 || protocol >= 6, proofs);
    // Answers without headers cannot be told apart: nothing is counted.
    if (std::any_of(units.begin(), units.end(), [](const std::string& unit) { return unit.empty(); })) {
        requests.headersHidden();
    }
    PidReader pids(requests, protocol >= 6, units, forms);

    readReadiness(requests, units, answers, items);
    readFreezeFrame(pids, answers, items);

    // Permanent codes: no unit tells beforehand whether it keeps them, nor how many.
    answers.permanentCodes = requests("0A");
    items.check(VehicleItem::Permanent, *answers.permanentCodes);

    // The VIN, from the units that list info type 02. Its answer is never counted: units
    // pad it (a CAN unit may take four frames rather than three), and a count that stops
    // short loses the VIN, or one unit's VIN to another's.
    RequestPlan infoPlan;
    infoPlan.units = units;
    infoPlan.frames = units.size();
    infoPlan.exact = !units.empty();
    infoPlan.listed = true;
    const ServiceAnswer info = requests("0900", infoPlan);
    if (!items.check(VehicleItem::Vin, info)) {
        const PidSupport support = supportBySender(info);
        if (const std::size_t listing = supporting(support, 0x02); listing > 0) {
            RequestPlan vinPlan;
            for (const auto& [sender, lists] : support) {
                if (lists.has(0x02)) vinPlan.units.push_back(sender);
            }
            vinPlan.frames = listing * (protocol == 0 || protocol >= 6 ? 4 : 5);
            vinPlan.listed = true;
            answers.vin = requests("0902", vinPlan);
            items.check(VehicleItem::Vin, *answers.vin, true);
        }
    }

    read.adapterLost = requests.lost();
    read.requests = requests.sent();
    return read;
}

}  // namespace vx414::elm327
