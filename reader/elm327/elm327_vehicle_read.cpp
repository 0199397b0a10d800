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

const ServiceAnswer* answerFor(const std::vector<std::pair<std::uint8_t, ServiceAnswer>>& answers, std::uint8_t pid) {
    const auto found = std::find_if(answers.begin(), answers.end(), [pid](const auto& a) { return a.first == pid; });
    return found == answers.end() ? nullptr : &found->second;
}

// PID 01 is asked straight away rather than after 01 00: a unit that supports it answers,
// the others stay silent or refuse, so the list of supported PIDs would only cost a request
// (and on a slow adapter a line a unit) without changing what is learnt.
void readReadiness(CarRequests& requests, std::size_t unitCount, obd::VehicleAnswers& answers, Items& items) {
    answers.monitorStatus = requests("0101", unitCount);
    items.check(VehicleItem::Readiness, *answers.monitorStatus);
}

void readFreezeFrame(PidReader& pids, obd::VehicleAnswers& answers, Items& items) {
    constexpr std::array<std::uint8_t, 2> Asked = {0x00, 0x02};
    const auto read = pids.read(0x02, Asked);
    const ServiceAnswer* support = answerFor(read, 0x00);
    if (support != nullptr && items.check(VehicleItem::FreezeFrame, *support)) return;
    // No unit listing PID 02: no unit keeps a frame.
    if (support == nullptr || supporting(supportBySender(*support), 0x02) == 0) return;
    const ServiceAnswer* code = answerFor(read, 0x02);
    if (code == nullptr) return;
    answers.freezeFrame.push_back(*code);
    if (items.check(VehicleItem::FreezeFrame, *code, true)) return;
    // The values, from the units that hold a frame (their code is not 0000), of the PIDs
    // each of them lists.
    const PidSupport listed = supportBySender(*support);
    PidSupport holders;
    for (const UnitMessages& unit : code->units) {
        const auto found = listed.find(unit.sender);
        if (found != listed.end() && !unit.messages.empty() && obd::decodeFreezeFrameCode(unit.messages.front())) {
            holders[unit.sender] = found->second;
        }
    }
    if (holders.empty()) return;
    const std::span<const std::uint8_t> values = obd::freezeFramePids();
    for (auto& [pid, answer] : pids.read(0x02, values, &holders)) {
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

VehicleRead readVehicleAnswers(const ServiceAsker& ask, std::size_t unitCount, int protocol) {
    VehicleRead read;
    obd::VehicleAnswers& answers = read.answers;
    answers.protocol = protocol;
    Items items(answers.notRead);
    CarRequests requests(ask);
    PidReader pids(requests, protocol >= 6, unitCount);

    readReadiness(requests, unitCount, answers, items);
    readFreezeFrame(pids, answers, items);

    // Permanent codes: no unit tells beforehand whether it keeps them.
    answers.permanentCodes = requests("0A");
    items.check(VehicleItem::Permanent, *answers.permanentCodes);

    // The VIN, from the units that list info type 02: 20 bytes, three frames on CAN, five
    // numbered frames on the older buses.
    const ServiceAnswer info = requests("0900", unitCount);
    if (!items.check(VehicleItem::Vin, info)) {
        if (const std::size_t units = supporting(supportBySender(info), 0x02); units > 0) {
            const std::size_t frames = protocol == 0 ? 0 : protocol >= 6 ? 3 : 5;
            answers.vin = requests("0902", units * frames);
            items.check(VehicleItem::Vin, *answers.vin, true);
        }
    }

    read.adapterLost = requests.lost();
    read.requests = requests.sent();
    return read;
}

}  // namespace vx414::elm327
