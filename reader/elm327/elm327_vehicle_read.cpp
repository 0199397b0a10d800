#include "reader/elm327/elm327_vehicle_read.h"

#include <algorithm>
#include <map>

#include "reader/obd/freeze_frame.h"
#include "reader/obd/supported_pids.h"

namespace vx414::elm327 {
namespace {

using obd::SupportedPids;

std::string hexByte(unsigned value) {
    constexpr std::string_view Digits = "0123456789ABCDEF";
    return {Digits[(value >> 4U) & 0xFU], Digits[value & 0xFU]};
}

// Whether an answer means the adapter or the car is gone, or a stop was asked for: no
// further request is worth sending.
bool endsTheRead(const ServiceAnswer& answer) {
    const LinkCode code = answer.status.code();
    return code == LinkCode::Timeout || code == LinkCode::Io || code == LinkCode::NoVehicle ||
           code == LinkCode::NoDevice || std::string_view(answer.status.reason()) == "adapter reset";
}

class Asking {
public:
    explicit Asking(const ServiceAsker& ask) : ask_(ask) {}

    // `request` with the number of answers to wait for, when it is known and fits one digit.
    ServiceAnswer operator()(const std::string& request, std::size_t answers = 0) {
        if (lost_) return {{LinkCode::Timeout, "not asked"}, false, {}};
        const bool counted = digits_ && answers > 0 && answers <= 0xF;
        ServiceAnswer answer = ask_(counted ? request + hexByte(static_cast<unsigned>(answers)).substr(1) : request);
        if (counted && std::string_view(answer.status.reason()) == "adapter did not understand") {
            digits_ = false;
            answer = ask_(request);
        }
        lost_ = endsTheRead(answer);
        return answer;
    }

    bool lost() const { return lost_; }

private:
    const ServiceAsker& ask_;
    bool digits_ = true;
    bool lost_ = false;
};

// What each unit's answer to a "supported PIDs" request (01 00, 02 00 00, 09 00) declares.
std::map<std::string, SupportedPids> supportBySender(const ServiceAnswer& answer) {
    std::map<std::string, SupportedPids> support;
    if (!answer.status.isOk() || answer.noData) return support;
    for (const UnitMessages& unit : answer.units) {
        for (const std::vector<std::uint8_t>& message : unit.messages) {
            obd::addSupportedPids(message, support[unit.sender]);
        }
    }
    return support;
}

std::size_t supporting(const std::map<std::string, SupportedPids>& support, std::uint8_t pid) {
    return static_cast<std::size_t>(
        std::count_if(support.begin(), support.end(), [pid](const auto& unit) { return unit.second.has(pid); }));
}

}  // namespace

VehicleRead readVehicleAnswers(const ServiceAsker& ask, std::size_t unitCount, int protocol) {
    VehicleRead read;
    obd::VehicleAnswers& answers = read.answers;
    answers.protocol = protocol;
    Asking asking(ask);

    // Readiness: PID 01 of every unit that lists it.
    const auto live = supportBySender(asking("0100", unitCount));
    if (const std::size_t units = supporting(live, 0x01); units > 0) answers.monitorStatus = asking("0101", units);

    // Freeze frame 0: which units keep one and what it holds, the code that stored it,
    // then each value the units holding a frame list.
    const auto frame = supportBySender(asking("020000", unitCount));
    if (const std::size_t units = supporting(frame, 0x02); units > 0) {
        answers.freezeFrame.push_back(asking("020200", units));
        const ServiceAnswer& codeAnswer = answers.freezeFrame.front();
        std::map<std::string, SupportedPids> holders;
        for (const UnitMessages& unit : codeAnswer.status.isOk() ? codeAnswer.units : std::vector<UnitMessages>{}) {
            const auto listed = frame.find(unit.sender);
            if (listed != frame.end() && !unit.messages.empty() && obd::decodeFreezeFrameCode(unit.messages.front())) {
                holders[unit.sender] = listed->second;
            }
        }
        for (const std::uint8_t pid : obd::freezeFramePids()) {
            const std::size_t holding = supporting(holders, pid);
            if (holding > 0 && !asking.lost()) answers.freezeFrame.push_back(asking("02" + hexByte(pid) + "00", holding));
        }
    }

    // Permanent codes: no unit tells beforehand whether it keeps them.
    if (!asking.lost()) answers.permanentCodes = asking("0A");

    // The VIN, from the units that list info type 02: 20 bytes, three frames on CAN, five
    // numbered frames on the older buses.
    const auto info = asking.lost() ? std::map<std::string, SupportedPids>{} : supportBySender(asking("0900", unitCount));
    if (const std::size_t units = supporting(info, 0x02); units > 0 && !asking.lost()) {
        const std::size_t frames = protocol == 0 ? 0 : protocol >= 6 ? 3 : 5;
        answers.vin = asking("0902", units * frames);
    }

    read.adapterLost = asking.lost();
    return read;
}

}  // namespace vx414::elm327
