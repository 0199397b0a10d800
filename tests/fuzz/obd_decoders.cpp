// The OBD decoders and assembleVehicleInfo from arbitrary messages: never a read past a
// message, every value they give well formed, a VIN only when it passes its checks or fails
// only its check digit (and the same VIN again when sent in the other bus's form), and the
// codes of 07 and 03 untouched by whatever the other services answered.
//
// Input: records of [what] [length] [length bytes]. `what`'s low three bits pick the
// service (0: 01 01, 1: 02, 2: 0A, 3: 09 02, 4: a codes list, 5: a refusal, 6: NO DATA,
// 7: 01 00 / 02 00 / 09 00), bits 3 and 4 the unit (7E8, 7E9, 486B10, 18DAF118).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "reader/obd/freeze_frame.h"
#include "reader/obd/live_pids.h"
#include "reader/obd/monitor_status.h"
#include "reader/obd/permanent_codes.h"
#include "reader/obd/supported_pids.h"
#include "reader/obd/vehicle_assembly.h"
#include "reader/obd/vin.h"

namespace {

using namespace vx414;
using namespace vx414::obd;
using Message = std::vector<std::uint8_t>;

void check(bool condition) {
    if (!condition) std::abort();
}

void checkCode(const TroubleCode& code) { check(encodeTroubleCode(code.text()).has_value()); }

void checkMessage(std::span<const std::uint8_t> message) {
    SupportedPids pids;
    if (const auto base = addSupportedPids(message, pids)) check(*base % 0x20 == 0);
    if (const auto report = decodeMonitorStatus(message)) {
        check(report->storedCount >= 0 && report->storedCount <= 127);
        check(report->monitors.size() == (report->compressionIgnition ? 9U : 11U));
        for (const int year : {0, 1998, 2015}) {
            const InspectionJudgement judgement = judgeInspection(*report, year);
            check(judgement.text.starts_with(judgement.verdict == InspectionVerdict::Ready      ? "Ready for"
                                             : judgement.verdict == InspectionVerdict::NotReady ? "Not ready for"
                                                                                                : "Fails the"));
            check(judgement.incomplete.size() <= report->monitors.size());
        }
    }
    if (const auto value = decodeFreezeValue(message)) {
        check(std::isfinite(value->value) && !value->name.empty() && !value->unit.empty());
        check(value->value >= -128 && value->value <= 16384);
    }
    if (const auto code = decodeFreezeFrameCode(message)) checkCode(*code);
    if (const auto values = decodeLiveValues(message)) {
        check(values->size() <= 2);
        for (const LiveValue& value : *values) check(std::isfinite(value.value) && value.field->pid == message[1]);
    }
    if (const auto codes = decodePermanentCodes(message)) {
        check(codes->size() <= 127);
        for (const TroubleCode& code : *codes) checkCode(code);
    }
}

// The VIN in the other bus's form: five legacy frames, or one CAN message.
std::vector<Message> otherForm(const std::string& vin, bool wasCan) {
    if (!wasCan) {
        Message message = {0x49, 0x02, 0x01};
        message.insert(message.end(), vin.begin(), vin.end());
        return {message};
    }
    const std::string padded = std::string(3, '\0') + vin;
    std::vector<Message> frames;
    for (std::uint8_t n = 1; n <= 5; ++n) {
        Message frame = {0x49, 0x02, n};
        frame.insert(frame.end(), padded.begin() + (n - 1) * 4, padded.begin() + n * 4);
        frames.push_back(frame);
    }
    return frames;
}

void checkVinOf(const std::vector<Message>& messages) {
    const VinRead read = assembleVin(messages);
    if (read.fault != VinFault::None && read.fault != VinFault::CheckDigit) {
        check(read.vin.empty());
        return;
    }
    check(read.vin.size() == 17 && checkVin(read.vin) == read.fault);
    for (const int protocol : {0, 3, 6}) {
        const int year = vinModelYear(read.vin, 2026, protocol);
        check(year == 0 || (year >= 1994 && year <= 2027));
    }
    const VinRead again = assembleVin(otherForm(read.vin, messages.size() == 1));
    check(again.fault == read.fault && again.vin == read.vin);
}

obd::UnitMessages& unitOf(std::optional<obd::ServiceAnswer>& answer, const std::string& sender) {
    if (!answer) answer = obd::ServiceAnswer{};
    for (obd::UnitMessages& unit : answer->units) {
        if (unit.sender == sender) return unit;
    }
    answer->units.push_back({sender, {}, {}});
    return answer->units.back();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string Senders[] = {"7E8", "7E9", "486B10", "18DAF118"};
    VehicleAnswers answers;
    std::optional<obd::ServiceAnswer> freeze;
    std::set<std::string> codeUnits;
    std::span<const std::uint8_t> input(data, size);
    while (input.size() >= 2) {
        const unsigned what = input[0];
        const std::size_t length = std::min<std::size_t>(input[1], input.size() - 2);
        const Message message(input.begin() + 2, input.begin() + 2 + static_cast<std::ptrdiff_t>(length));
        input = input.subspan(2 + length);
        checkMessage(message);
        const std::string& sender = Senders[(what >> 3U) & 3U];
        switch (what & 7U) {
        case 0: unitOf(answers.monitorStatus, sender).messages.push_back(message); break;
        case 1: unitOf(freeze, sender).messages.push_back(message); break;
        case 2: unitOf(answers.permanentCodes, sender).messages.push_back(message); break;
        case 3: unitOf(answers.vin, sender).messages.push_back(message); break;
        case 4: {
            UnitCodeLists unit{sender, {}, {}};
            for (std::size_t i = 0; i + 1 < message.size(); i += 2) {
                unit.stored.push_back(decodeTroubleCode(message[i], message[i + 1]));
            }
            answers.codes.push_back(unit);
            codeUnits.insert(sender);
            break;
        }
        case 5: unitOf(answers.vin, sender).refusal = message.empty() ? 0x11 : message[0]; break;
        case 6:
            if (answers.permanentCodes) answers.permanentCodes->noData = true;
            break;
        default: break;
        }
    }
    if (freeze) {
        // Each unit's messages one by one, as separate requests give them.
        for (const obd::UnitMessages& unit : freeze->units) {
            for (const Message& message : unit.messages) {
                answers.freezeFrame.push_back({LinkStatus::ok(), false, {{unit.sender, {message}, {}}}});
            }
        }
    }
    if (answers.vin) {
        for (const obd::UnitMessages& unit : answers.vin->units) checkVinOf(unit.messages);
    }

    const VehicleInfo info = assembleVehicleInfo(answers, builtInWmiTable(), 2026);
    check(info.vin.empty() || checkVin(info.vin) == (info.vinWarning.empty() ? VinFault::None : VinFault::CheckDigit));
    check(info.make == std::string(builtInWmiTable().makeFor(info.vin)));
    if (info.vin.empty()) check(info.make.empty() && info.modelYear == 0);
    check(info.readiness.empty() == info.inspection.empty());
    check(info.readiness.empty() == !info.mil.has_value());
    std::set<std::string> addresses;
    std::set<std::string> permanent;
    for (const UnitCodes& unit : info.units) {
        check(addresses.insert(unit.address).second);
        for (const TroubleCode& code : unit.permanent) permanent.insert(code.toString());
    }
    check(permanent.size() == info.permanent.size());
    // The codes lists come through as given, each code once.
    for (const UnitCodeLists& given : answers.codes) {
        for (const UnitCodes& unit : info.units) {
            if (unit.address != given.sender) continue;
            for (const TroubleCode& code : given.stored) {
                check(std::find(unit.stored.begin(), unit.stored.end(), code) != unit.stored.end());
            }
        }
    }
    for (const std::string& sender : codeUnits) check(addresses.count(sender) == 1);
    return 0;
}
