// The ELM327 answer parser from arbitrary text: never a read past the answer, bounded
// results, a failure that carries nothing, and every answer it accepts reads back the same
// when its codes are sent again as a 29-bit CAN answer with headers.
//
// Input: byte 0 picks the protocol (low nibble, 0 to 12; higher reads as 0) and the
// request (bits 4 and 5: 03, 07, 04, 03); the rest is what the adapter sent.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "reader/elm327/elm327_answer.h"

namespace {

using vx414::TroubleCode;
using namespace vx414::elm327;

void check(bool condition) {
    if (!condition) std::abort();
}

void appendByte(std::string& text, unsigned byte) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", byte & 0xFFU);
    text += hex;
}

// One unit's codes as ISO-TP frames from sender 18DAF1<unit>, eight data bytes a frame.
std::string canAnswer(const std::vector<EcuCodes>& ecus, Service service) {
    std::string text;
    for (std::size_t unit = 0; unit < ecus.size(); ++unit) {
        std::vector<unsigned> message = {static_cast<unsigned>(service) + 0x40U,
                                         static_cast<unsigned>(ecus[unit].codes.size() % 256)};
        for (const TroubleCode& code : ecus[unit].codes) {
            const auto bytes = vx414::encodeTroubleCode(code.text());
            check(bytes.has_value());
            message.push_back((*bytes)[0]);
            message.push_back((*bytes)[1]);
        }
        std::string header = "18DAF1";
        appendByte(header, static_cast<unsigned>(unit));
        if (message.size() <= 7) {
            text += header;
            appendByte(text, static_cast<unsigned>(message.size()));
            for (std::size_t i = 0; i < 7; ++i) appendByte(text, i < message.size() ? message[i] : 0xAA);
            text += "\r";
            continue;
        }
        text += header;
        appendByte(text, 0x10U | static_cast<unsigned>(message.size() >> 8U));
        appendByte(text, static_cast<unsigned>(message.size()));
        for (std::size_t i = 0; i < 6; ++i) appendByte(text, message[i]);
        text += "\r";
        unsigned sequence = 1;
        for (std::size_t at = 6; at < message.size(); at += 7, sequence = (sequence + 1) % 16) {
            text += header;
            appendByte(text, 0x20U | sequence);
            for (std::size_t i = at; i < at + 7; ++i) appendByte(text, i < message.size() ? message[i] : 0xAA);
            text += "\r";
        }
    }
    return text + "\r>";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int protocol = (data[0] & 0x0F) <= 12 ? data[0] & 0x0F : 0;
    const Service services[] = {Service::StoredCodes, Service::PendingCodes, Service::ClearCodes,
                                Service::StoredCodes};
    const Service service = services[(data[0] >> 4U) & 3U];
    const std::string_view answer(reinterpret_cast<const char*>(data + 1), size - 1);

    (void)adapterFailure(answer);
    if (service == Service::ClearCodes) {
        const ClearResult cleared = parseClearAnswer(answer, protocol);
        check(cleared.status.isOk() ? !cleared.confirmed.empty() : cleared.confirmed.empty());
        check(cleared.status.isOk() || cleared.status.code() == vx414::LinkCode::Protocol);
        return 0;
    }

    const CodesAnswer parsed = parseCodesAnswer(answer, service, protocol);
    if (!parsed.status.isOk()) {
        check(parsed.status.code() == vx414::LinkCode::Protocol && parsed.status.reason()[0] != '\0');
        check(parsed.ecus.empty());
        return 0;
    }
    check(parsed.noData ? parsed.ecus.empty() : !parsed.ecus.empty());
    check(parsed.ecus.size() <= 32);
    std::set<std::string> senders;
    std::set<std::string> all;
    for (const EcuCodes& ecu : parsed.ecus) {
        check(senders.insert(ecu.sender).second);
        check(ecu.codes.size() <= 2046);
        for (const TroubleCode& code : ecu.codes) {
            check(vx414::encodeTroubleCode(code.text()).has_value());
            check(code.text() != "P0000");
            all.insert(code.toString());
        }
    }
    const std::vector<TroubleCode> merged = mergeCodes(parsed.ecus);
    std::set<std::string> once;
    for (const TroubleCode& code : merged) {
        check(once.insert(code.toString()).second);
        check(all.count(code.toString()) == 1);
    }
    check(once.size() == all.size());

    if (parsed.noData) return 0;
    const CodesAnswer again = parseCodesAnswer(canAnswer(parsed.ecus, service), service, 7);
    check(again.status.isOk() && again.ecus.size() == parsed.ecus.size());
    for (std::size_t i = 0; i < parsed.ecus.size(); ++i) check(again.ecus[i].codes == parsed.ecus[i].codes);
    return 0;
}
