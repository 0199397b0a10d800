#include "reader/elm327/elm327_answer.h"
#include "reader/elm327/elm327_service_answer.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>

namespace vx414::elm327 {
namespace {

// The longest line an adapter shows for one frame is a 29-bit header and eight data bytes
// with blanks (35 characters); anything much longer is no frame.
constexpr std::size_t MaxLineLength = 96;
// A CAN frame carries at most eight data bytes after its header, a legacy frame three
// header bytes, seven data bytes and a check byte; a 29-bit header is four bytes.
constexpr std::size_t MaxLineBytes = 12;
// An ISO-TP message holds at most 4095 bytes: the service byte, the count byte and 2046
// codes. Legacy units send three codes a frame with no limit of their own; they get the
// same one, and so does anything that would pass it: the read fails rather than drop codes.
constexpr std::size_t MaxCodesPerUnit = 2046;
// CAN has eight OBD responders (7E8 to 7EF), 29-bit CAN and the legacy buses a few more.
constexpr std::size_t MaxUnits = 32;
constexpr std::size_t MaxMessageLength = 4095;

constexpr std::uint8_t NegativeResponse = 0x7F;
constexpr std::uint8_t ResponsePending = 0x78;

LinkStatus failure(const char* reason) { return {LinkCode::Protocol, reason}; }

enum class Family : std::uint8_t { Unknown, Can11, Can29, Legacy };

Family familyOf(int protocol) {
    switch (protocol) {
    case 1: case 2: case 3: case 4: case 5: return Family::Legacy;
    case 6: case 8: case 11: case 12: return Family::Can11;
    case 7: case 9: case 10: return Family::Can29;
    default: return Family::Unknown;
    }
}

std::optional<std::uint8_t> hexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    return std::nullopt;
}

bool allHex(std::string_view text) {
    for (const char c : text) {
        if (!hexDigit(c)) return false;
    }
    return true;
}

std::uint8_t byteAt(std::string_view hex, std::size_t index) {
    return static_cast<std::uint8_t>((*hexDigit(hex[2 * index]) << 4U) | *hexDigit(hex[2 * index + 1]));
}

// One line without blanks (the adapter's spaces, tabs, NULs), letters upper-cased.
std::string compact(std::string_view line) {
    std::string text;
    text.reserve(line.size());
    for (const char c : line) {
        if (c == ' ' || c == '\t' || c == '\0') continue;
        text.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return text;
}

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// The adapter's own messages that end a read, by the words it prints (blanks removed).
std::optional<LinkStatus> adapterMessage(std::string_view text) {
    if (text.starts_with("BUSINIT")) {
        if (text.ends_with("OK") && !contains(text, "ERROR")) return LinkStatus::ok();
        return failure("bus initialisation failed");
    }
    if (contains(text, "UNABLETOCONNECT")) return failure("no car answered");
    if (contains(text, "BUFFERFULL")) return failure("adapter buffer full");
    if (contains(text, "STOPPED")) return failure("adapter stopped");
    if (contains(text, "ELM327") || contains(text, "LVRESET")) return failure("adapter reset");
    if (contains(text, "ACTALERT")) return failure("adapter going to sleep");
    if (contains(text, "ERROR") || contains(text, "BUSBUSY") || text.starts_with("ERR")) {
        return failure("adapter reported a bus error");
    }
    if (contains(text, "?")) return failure("adapter did not understand");
    return std::nullopt;
}

// A frame as shown on one line: who sent it and its bytes after the header.
struct Frame {
    std::string sender;
    std::array<std::uint8_t, MaxLineBytes> bytes{};
    std::size_t size = 0;

    std::uint8_t operator[](std::size_t i) const { return bytes[i]; }
};

// Where an answer's frames came from, which tells how a message of codes is laid out: a
// CAN message has a count byte after 43, a legacy frame has none.
enum class Form : std::uint8_t { Unknown, Can, Legacy };

struct Unit {
    UnitMessages out;
    // A multi-frame CAN message being put together.
    std::vector<std::uint8_t> message;
    std::size_t expected = 0;
    unsigned nextSequence = 0;
    bool assembling = false;
    bool waiting = false;  // said "response pending" and nothing since
};

struct Assembled {
    ServiceAnswer answer;
    Form form = Form::Unknown;
    bool waiting = false;  // a unit said "response pending" and has not answered since
};

// Puts the frames of one answer together into each unit's messages, whatever the service.
class Assembler {
public:
    Assembler(std::uint8_t service, int protocol)
        : service_(service),
          response_(static_cast<std::uint8_t>(service + 0x40U)),
          family_(familyOf(protocol)),
          codes_(service == 0x03 || service == 0x07 || service == 0x0A) {
        if (family_ == Family::Legacy) form_ = Form::Legacy;
        if (family_ == Family::Can11 || family_ == Family::Can29) form_ = Form::Can;
    }

    Assembled run(std::string_view answer);

private:
    LinkStatus line(std::string_view text);
    LinkStatus hexLine(std::string_view hex);
    LinkStatus numberedLine(std::string_view text);
    LinkStatus canRawFrame(Unit& unit, const Frame& frame);
    LinkStatus message(Unit& unit, const std::uint8_t* bytes, std::size_t size);
    LinkStatus sawForm(Form form);
    Unit* unitFor(const std::string& sender);

    std::uint8_t service_;
    std::uint8_t response_;
    Family family_;
    bool codes_;  // a request for trouble codes
    Form form_ = Form::Unknown;
    bool noData_ = false;
    std::vector<Unit> units_;
};

Assembled Assembler::run(std::string_view answer) {
    Assembled result;
    auto fail = [&result](LinkStatus status) {
        result.answer = {status, false, {}};
        return std::move(result);
    };
    std::size_t start = 0;
    while (start <= answer.size()) {
        std::size_t end = answer.find_first_of("\r\n>", start);
        if (end == std::string_view::npos) end = answer.size();
        if (end - start > MaxLineLength) return fail(failure("line too long"));
        if (const LinkStatus status = line(answer.substr(start, end - start)); !status.isOk()) return fail(status);
        start = end + 1;
    }
    for (const Unit& unit : units_) result.waiting = result.waiting || unit.waiting;
    for (const Unit& unit : units_) {
        if (unit.assembling || (unit.waiting && unit.out.messages.empty() && !unit.out.refusal)) {
            return fail(failure("answer incomplete"));
        }
    }
    if (noData_ && !units_.empty()) return fail(failure("NO DATA beside an answer"));
    if (!noData_ && units_.empty()) return fail(failure("no answer"));
    result.answer.noData = noData_;
    for (Unit& unit : units_) result.answer.units.push_back(std::move(unit.out));
    result.form = form_;
    return result;
}

LinkStatus Assembler::line(std::string_view raw) {
    const std::string text = compact(raw);
    if (text.empty() || text == "OK" || text.starts_with("SEARCHING")) return LinkStatus::ok();
    // A clone that echoes in spite of ATE0 repeats a one-byte request: "03" or "07".
    if (text.size() == 2 && hexDigit(text[0]) && hexDigit(text[1]) && byteAt(text, 0) == service_) {
        return LinkStatus::ok();
    }
    if (text == "NODATA") {
        noData_ = true;
        return LinkStatus::ok();
    }
    if (const auto message = adapterMessage(text)) return *message;
    if (text.size() >= 2 && text[1] == ':' && hexDigit(text[0])) return numberedLine(text);
    if (!allHex(text)) return failure("unreadable answer");
    return hexLine(text);
}

// Decides from the line's shape, and the protocol when known, where the header ends:
//   7E8 06 43 02 01 BB 33 BB 00           11-bit CAN, headers on: odd digit count
//   18 DA F1 10 06 43 ...                 29-bit CAN, headers on: 18 DA F1 then the sender
//   48 6B 10 43 01 BB 00 00 00 00 C5      J1850 / ISO 9141, headers on: 3 bytes, data, check byte
//   83 F1 11 43 01 71 C0                  ISO 14230: the first byte counts the data bytes
//   43 02 01 BB 33 BB / 43 01 BB 00 ...   headers off: a CAN single frame's data or a
//                                         legacy frame's, as sent
//   06 43 02 01 BB 33 BB 00               CAN with formatting off: the PCI byte first
//   00E                                   length of a formatted multi-frame CAN answer
LinkStatus Assembler::hexLine(std::string_view hex) {
    const bool can11 = family_ == Family::Can11 || family_ == Family::Unknown;
    const bool can29 = family_ == Family::Can29 || family_ == Family::Unknown;
    const bool can = can11 || can29;
    const bool legacy = family_ == Family::Legacy || family_ == Family::Unknown;
    Frame f;
    if (hex.size() % 2 == 1) {
        if (!can) return failure("unreadable answer");
        if (hex.size() == 3) {
            std::size_t length = 0;
            for (const char c : hex) length = length * 16 + *hexDigit(c);
            if (length < 8) return failure("broken multi-frame answer");
            if (const LinkStatus status = sawForm(Form::Can); !status.isOk()) return status;
            Unit* unit = unitFor("");
            if (unit == nullptr) return failure("too many control units");
            if (unit->assembling) return failure("broken multi-frame answer");
            unit->assembling = true;
            unit->expected = length;
            unit->nextSequence = 0;
            unit->message.clear();
            return LinkStatus::ok();
        }
        if (!can11 || hex.size() < 5 || hex[0] > '7') return failure("unreadable answer");
        const std::string_view data = hex.substr(3);
        if (data.size() / 2 > 8) return failure("unreadable answer");
        f.sender = std::string(hex.substr(0, 3));
        f.size = data.size() / 2;
        for (std::size_t i = 0; i < f.size; ++i) f.bytes[i] = byteAt(data, i);
        if (const LinkStatus status = sawForm(Form::Can); !status.isOk()) return status;
        Unit* unit = unitFor(f.sender);
        return unit == nullptr ? failure("too many control units") : canRawFrame(*unit, f);
    }
    const std::size_t count = hex.size() / 2;
    if (count > MaxLineBytes) return failure("unreadable answer");
    std::array<std::uint8_t, MaxLineBytes> b{};
    for (std::size_t i = 0; i < count; ++i) b[i] = byteAt(hex, i);

    if (can29 && count >= 5 && b[0] <= 0x1F && b[1] == 0xDA && b[2] == 0xF1) {
        if (count - 4 > 8) return failure("unreadable answer");
        f.sender = std::string(hex.substr(0, 8));
        f.size = count - 4;
        for (std::size_t i = 0; i < f.size; ++i) f.bytes[i] = b[i + 4];
        if (const LinkStatus status = sawForm(Form::Can); !status.isOk()) return status;
        Unit* unit = unitFor(f.sender);
        return unit == nullptr ? failure("too many control units") : canRawFrame(*unit, f);
    }
    // A legacy frame with its header: three header bytes, one to seven data bytes starting
    // with the answer (or a refusal), the check byte. ISO 14230 counts its data bytes in the
    // first header byte, so a short frame there is known to be whole.
    if (legacy && count >= 5 && (b[3] == response_ || (b[3] == NegativeResponse && b[0] != response_))) {
        const bool j1850 = b[0] >= 0x40 && b[1] == 0x6B;
        const bool kwp = (b[0] & 0x80U) != 0 && b[1] == 0xF1 && (b[0] & 0x3FU) == count - 4;
        if (j1850 || kwp) {
            if (const LinkStatus status = sawForm(Form::Legacy); !status.isOk()) return status;
            // A unit is its header; on ISO 14230 without the length the format byte carries,
            // which changes with every message's size (87 F1 11, 85 F1 11: one unit).
            std::string sender(hex.substr(0, 6));
            if (kwp) sender.replace(0, 2, b[0] & 0x40U ? "C0" : "80");
            Unit* unit = unitFor(sender);
            return unit == nullptr ? failure("too many control units") : message(*unit, b.data() + 3, count - 4);
        }
    }
    if (b[0] == response_ || b[0] == NegativeResponse) {
        // Formatting shows a single CAN frame's data, seven bytes at most; a legacy frame
        // holds no more.
        if (count > 7) return failure("unreadable answer");
        // Codes tell the two apart without headers: a CAN answer has an even length (43,
        // the count, pairs), a legacy frame an odd one (43, pairs).
        if (family_ == Family::Unknown && codes_ && b[0] == response_) {
            if (const LinkStatus status = sawForm(count % 2 == 0 ? Form::Can : Form::Legacy); !status.isOk()) return status;
        }
        Unit* unit = unitFor("");
        if (unit == nullptr) return failure("too many control units");
        if (unit->assembling) return failure("broken multi-frame answer");
        return message(*unit, b.data(), count);
    }
    if (can && (b[0] >> 4U) <= 2 && count <= 8) {
        if (const LinkStatus status = sawForm(Form::Can); !status.isOk()) return status;
        f.size = count;
        f.bytes = b;
        Unit* unit = unitFor("");
        return unit == nullptr ? failure("too many control units") : canRawFrame(*unit, f);
    }
    return failure("unreadable answer");
}

// "0:4307013301BB" and so on: a formatted multi-frame CAN answer, headers off, after its
// length line. Line 0 carries six bytes, each later one seven (the last may be padded).
LinkStatus Assembler::numberedLine(std::string_view text) {
    if (family_ == Family::Legacy) return failure("unreadable answer");
    const std::string_view hex = text.substr(2);
    if (hex.size() % 2 != 0 || !allHex(hex)) return failure("unreadable answer");
    Unit* unit = unitFor("");
    if (unit == nullptr) return failure("too many control units");
    const unsigned sequence = *hexDigit(text[0]);
    if (!unit->assembling || sequence != unit->nextSequence) return failure("broken multi-frame answer");
    const std::size_t size = hex.size() / 2;
    const std::size_t full = unit->message.empty() ? 6 : 7;
    const std::size_t missing = unit->expected - unit->message.size();
    if (size > full || (size < full && size < missing)) return failure("broken multi-frame answer");
    for (std::size_t i = 0; i < size && unit->message.size() < unit->expected; ++i) {
        unit->message.push_back(byteAt(hex, i));
    }
    unit->nextSequence = (sequence + 1) % 16;
    if (const LinkStatus status = sawForm(Form::Can); !status.isOk()) return status;
    if (unit->message.size() < unit->expected) return LinkStatus::ok();
    unit->assembling = false;
    return message(*unit, unit->message.data(), unit->message.size());
}

// ISO 15765-2 frames: single (0L), first (1L LL) and consecutive (2N); frames of one
// sender in order, sequence numbers 1 to F then 0 again.
LinkStatus Assembler::canRawFrame(Unit& unit, const Frame& f) {
    if (f.size < 1 || f.size > 8) return failure("unreadable answer");
    const unsigned type = f[0] >> 4U;
    if (type == 0) {
        const std::size_t length = f[0] & 0x0FU;
        if (unit.assembling || length == 0 || length > 7 || f.size - 1 < length) {
            return failure("broken multi-frame answer");
        }
        return message(unit, f.bytes.data() + 1, length);
    }
    if (type == 1) {
        if (f.size != 8 || unit.assembling) return failure("broken multi-frame answer");
        const std::size_t length = ((f[0] & 0x0FU) << 8U) | f[1];
        if (length < 8) return failure("broken multi-frame answer");
        unit.assembling = true;
        unit.expected = length;
        unit.nextSequence = 1;
        unit.message.assign(f.bytes.begin() + 2, f.bytes.begin() + 8);
        return LinkStatus::ok();
    }
    if (type == 2) {
        if (!unit.assembling || (f[0] & 0x0FU) != unit.nextSequence) return failure("broken multi-frame answer");
        const std::size_t missing = unit.expected - unit.message.size();
        if (f.size - 1 < 7 && f.size - 1 < missing) return failure("broken multi-frame answer");
        for (std::size_t i = 1; i < f.size && unit.message.size() < unit.expected; ++i) {
            unit.message.push_back(f[i]);
        }
        unit.nextSequence = (unit.nextSequence + 1) % 16;
        if (unit.message.size() < unit.expected) return LinkStatus::ok();
        unit.assembling = false;
        return message(unit, unit.message.data(), unit.message.size());
    }
    return failure("broken multi-frame answer");
}

// One whole message of a unit: the answer, a refusal, or "response pending" (the real
// answer follows; a unit that never sends it leaves the answer incomplete).
LinkStatus Assembler::message(Unit& unit, const std::uint8_t* bytes, std::size_t size) {
    if (size >= 1 && bytes[0] == NegativeResponse) {
        if (size < 3) return failure("unreadable answer");
        if (bytes[1] != service_) return failure("answer to another request");
        if (bytes[2] == ResponsePending) {
            unit.waiting = true;
            return LinkStatus::ok();
        }
        unit.out.refusal = bytes[2];
        unit.waiting = false;
        return LinkStatus::ok();
    }
    if (size < 1 || bytes[0] != response_) return failure("answer to another request");
    if (size > MaxMessageLength) return failure("unreadable answer");
    unit.out.messages.emplace_back(bytes, bytes + size);
    unit.waiting = false;
    return LinkStatus::ok();
}

LinkStatus Assembler::sawForm(Form form) {
    if (form_ != Form::Unknown && form_ != form) return failure("mixed answer forms");
    form_ = form;
    return LinkStatus::ok();
}

Unit* Assembler::unitFor(const std::string& sender) {
    for (Unit& unit : units_) {
        if (unit.out.sender == sender) return &unit;
    }
    if (units_.size() == MaxUnits) return nullptr;
    units_.push_back({});
    units_.back().out.sender = sender;
    return &units_.back();
}

LinkStatus addCode(std::vector<TroubleCode>& codes, std::uint8_t b1, std::uint8_t b2) {
    if (b1 == 0 && b2 == 0) return LinkStatus::ok();
    if (codes.size() == MaxCodesPerUnit) return failure("too many codes");
    codes.push_back(decodeTroubleCode(b1, b2));
    return LinkStatus::ok();
}

// A whole CAN answer: 43 (or 47), the number of codes, then two bytes a code. The count
// is one byte, so past 255 codes it holds their number modulo 256. Pairs past a smaller
// count must be padding; a count the pairs do not bear out fails.
LinkStatus canCodes(std::span<const std::uint8_t> bytes, std::vector<TroubleCode>& codes) {
    if (bytes.size() < 2 || (bytes.size() - 2) % 2 != 0) return failure("unreadable answer");
    const std::size_t pairs = (bytes.size() - 2) / 2;
    const std::size_t count = bytes[1];
    if (count > pairs) return failure("fewer codes than counted");
    const std::size_t counted = pairs % 256 == count ? pairs : count;
    for (std::size_t i = 0; i < pairs; ++i) {
        const std::uint8_t b1 = bytes[2 + 2 * i];
        const std::uint8_t b2 = bytes[3 + 2 * i];
        if (i >= counted) {
            if (b1 != 0 || b2 != 0) return failure("more codes than counted");
            continue;
        }
        if (const LinkStatus status = addCode(codes, b1, b2); !status.isOk()) return status;
    }
    return LinkStatus::ok();
}

// J1850, ISO 9141-2, ISO 14230: 43 (or 47) and up to three codes, 0000 filling unused
// places on the buses that pad.
LinkStatus legacyCodes(std::span<const std::uint8_t> bytes, std::vector<TroubleCode>& codes) {
    if (bytes.size() % 2 != 1 || bytes.size() > 7) return failure("unreadable answer");
    for (std::size_t i = 1; i < bytes.size(); i += 2) {
        if (const LinkStatus status = addCode(codes, bytes[i], bytes[i + 1]); !status.isOk()) return status;
    }
    return LinkStatus::ok();
}

Assembled assemble(std::string_view answer, std::uint8_t service, int protocol) {
    return Assembler(service, protocol).run(answer);
}

}  // namespace

ServiceAnswer parseServiceAnswer(std::string_view answer, std::uint8_t service, int protocol) {
    return assemble(answer, service, protocol).answer;
}

bool awaitsAnswer(std::string_view answer, std::uint8_t service, int protocol) {
    return assemble(answer, service, protocol).waiting;
}

CodesAnswer parseCodesAnswer(std::string_view answer, Service service, int protocol) {
    if (service == Service::ClearCodes) return {failure("not a request for codes"), false, {}};
    Assembled assembled = assemble(answer, static_cast<std::uint8_t>(service), protocol);
    if (!assembled.answer.status.isOk()) return {assembled.answer.status, false, {}};
    CodesAnswer result;
    result.noData = assembled.answer.noData;
    bool answered = false;
    for (UnitMessages& unit : assembled.answer.units) {
        EcuCodes ecu{std::move(unit.sender), {}, unit.refusal};
        for (const std::vector<std::uint8_t>& message : unit.messages) {
            // Headers off and the protocol not known: a CAN answer of codes has an even
            // length (43, the count, pairs), a legacy frame an odd one (43, pairs).
            const bool legacy = assembled.form == Form::Legacy ||
                                (assembled.form == Form::Unknown && message.size() % 2 == 1);
            // J1850 and ISO 9141-2 units fill every frame to three codes; only ISO 14230
            // frames, which count their bytes, may stop short.
            const bool padded = ecu.sender.size() == 6 && ecu.sender.substr(2, 2) == "6B";
            if (legacy && padded && message.size() != 7) return {failure("unreadable answer"), false, {}};
            const LinkStatus status = legacy ? legacyCodes(message, ecu.codes) : canCodes(message, ecu.codes);
            if (!status.isOk()) return {status, false, {}};
            answered = true;
        }
        result.ecus.push_back(std::move(ecu));
    }
    if (!answered && !result.noData) return {failure("car refused the request"), false, {}};
    return result;
}

LinkStatus adapterFailure(std::string_view answer) {
    std::size_t start = 0;
    while (start <= answer.size()) {
        std::size_t end = answer.find_first_of("\r\n>", start);
        if (end == std::string_view::npos) end = answer.size();
        if (end - start > MaxLineLength) return failure("line too long");
        if (const auto message = adapterMessage(compact(answer.substr(start, end - start)))) {
            if (!message->isOk()) return *message;
        }
        start = end + 1;
    }
    return LinkStatus::ok();
}

ClearResult parseClearAnswer(std::string_view answer, int protocol) {
    constexpr std::uint8_t ClearService = 0x04;
    const ServiceAnswer parsed = parseServiceAnswer(answer, ClearService, protocol);
    ClearResult result;
    if (!parsed.status.isOk()) {
        result.status = parsed.status;
        return result;
    }
    for (const UnitMessages& unit : parsed.units) {
        for (const std::vector<std::uint8_t>& message : unit.messages) {
            if (message.size() != 1) return {failure("unreadable answer"), {}, {}};
        }
        if (!unit.messages.empty()) result.confirmed.push_back(unit.sender);
        if (unit.refusal) result.refused.push_back(unit.sender);
    }
    if (result.confirmed.empty()) {
        result.status = parsed.noData ? failure("car did not confirm") : failure("car refused the request");
    }
    return result;
}

std::vector<TroubleCode> mergeCodes(const std::vector<EcuCodes>& ecus) {
    // Every code is one of 65536 byte pairs: a table of those seen keeps this linear.
    std::vector<bool> seen(0x10000);
    std::vector<TroubleCode> merged;
    for (const EcuCodes& ecu : ecus) {
        for (const TroubleCode& code : ecu.codes) {
            const auto bytes = encodeTroubleCode(code.text());
            if (!bytes) continue;
            const std::size_t index = (std::size_t{(*bytes)[0]} << 8U) | (*bytes)[1];
            if (seen[index]) continue;
            seen[index] = true;
            merged.push_back(code);
        }
    }
    return merged;
}

}  // namespace vx414::elm327
