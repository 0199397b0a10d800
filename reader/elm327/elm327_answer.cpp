#include "reader/elm327/elm327_answer.h"

#include <array>
#include <cstddef>
#include <optional>

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

enum class FrameKind : std::uint8_t {
    CanRaw,      // a CAN frame with its PCI byte (headers on, or formatting off)
    CanMessage,  // a whole single-frame message, PCI hidden (headers off, formatting on)
    Legacy,      // J1850, ISO 9141-2, ISO 14230: the data bytes, check byte removed
};

struct Unit {
    std::string sender;
    std::vector<TroubleCode> codes;
    // A multi-frame CAN message being put together.
    std::vector<std::uint8_t> message;
    std::size_t expected = 0;
    unsigned nextSequence = 0;
    bool assembling = false;
    bool answered = false;  // sent an answer, not only "response pending"
};

class AnswerParser {
public:
    AnswerParser(Service service, int protocol)
        : service_(static_cast<std::uint8_t>(service)),
          response_(static_cast<std::uint8_t>(static_cast<unsigned>(service) + 0x40U)),
          family_(familyOf(protocol)),
          clear_(service == Service::ClearCodes),
          legacyLength_(clear_ ? 1 : 7) {}

    CodesAnswer parse(std::string_view answer);

private:
    LinkStatus line(std::string_view text);
    LinkStatus hexLine(std::string_view hex);
    LinkStatus numberedLine(std::string_view text);
    LinkStatus frame(Frame& frame, FrameKind kind);
    LinkStatus canRawFrame(Unit& unit, const Frame& frame);
    LinkStatus message(Unit& unit, const std::uint8_t* bytes, std::size_t size);
    LinkStatus legacyFrame(Unit& unit, const Frame& frame);
    LinkStatus addCode(Unit& unit, std::uint8_t b1, std::uint8_t b2);
    LinkStatus sawForm(bool can);
    Unit* unitFor(const std::string& sender);

    std::uint8_t service_;
    std::uint8_t response_;
    Family family_;
    bool clear_;                // 04: one answer byte, 44, and no codes
    std::size_t legacyLength_;  // data bytes of a legacy frame: 43 and three codes, or 44
    bool sawCan_ = false;
    bool sawLegacy_ = false;
    bool noData_ = false;
    std::vector<Unit> units_;
};

CodesAnswer AnswerParser::parse(std::string_view answer) {
    CodesAnswer result;
    std::size_t start = 0;
    while (start <= answer.size()) {
        std::size_t end = answer.find_first_of("\r\n>", start);
        if (end == std::string_view::npos) end = answer.size();
        if (end - start > MaxLineLength) {
            result.status = failure("line too long");
            return result;
        }
        const LinkStatus status = line(answer.substr(start, end - start));
        if (!status.isOk()) {
            result.status = status;
            return result;
        }
        start = end + 1;
    }
    for (const Unit& unit : units_) {
        if (unit.assembling || !unit.answered) {
            result.status = failure("answer incomplete");
            return result;
        }
    }
    if (noData_ && !units_.empty()) {
        result.status = failure("NO DATA beside an answer");
        return result;
    }
    if (!noData_ && units_.empty()) {
        result.status = failure("no answer");
        return result;
    }
    result.noData = noData_;
    for (Unit& unit : units_) result.ecus.push_back({std::move(unit.sender), std::move(unit.codes)});
    return result;
}

LinkStatus AnswerParser::line(std::string_view raw) {
    const std::string text = compact(raw);
    if (text.empty() || text == "OK" || text.starts_with("SEARCHING")) return LinkStatus::ok();
    // A clone that echoes in spite of ATE0 repeats the request: "03" or "07".
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
//   48 6B 10 43 01 BB 00 00 00 00 C5      J1850 / ISO, headers on: 3 bytes, data, check byte
//   43 02 01 BB 33 BB / 43 01 BB 00 ...   headers off: a CAN message (count byte, odd
//                                         length after 43) or a legacy frame (6 bytes)
//   06 43 02 01 BB 33 BB 00               CAN with formatting off: the PCI byte first
//   00E                                   length of a formatted multi-frame CAN answer
LinkStatus AnswerParser::hexLine(std::string_view hex) {
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
            Unit* unit = unitFor("");
            if (unit == nullptr) return failure("too many control units");
            if (unit->assembling) return failure("broken multi-frame answer");
            unit->assembling = true;
            unit->expected = length;
            unit->nextSequence = 0;
            unit->message.clear();
            return sawForm(true);
        }
        if (!can11 || hex.size() < 5 || hex[0] > '7') return failure("unreadable answer");
        const std::string_view data = hex.substr(3);
        if (data.size() / 2 > 8) return failure("unreadable answer");
        f.sender = std::string(hex.substr(0, 3));
        f.size = data.size() / 2;
        for (std::size_t i = 0; i < f.size; ++i) f.bytes[i] = byteAt(data, i);
        return frame(f, FrameKind::CanRaw);
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
        return frame(f, FrameKind::CanRaw);
    }
    // A legacy frame with its header is eleven bytes (a refusal seven); without, seven
    // bytes starting 43 or 47. The answer to 04 is 44 alone.
    if (legacy && b[0] >= 0x40 && (b[1] == 0x6B || b[1] == 0xF1) &&
        ((count == 4 + legacyLength_ && b[3] == response_) || (count == 7 && b[3] == NegativeResponse && b[0] != response_))) {
        f.sender = std::string(hex.substr(0, 6));
        f.size = count - 4;  // the header before, the check byte after
        for (std::size_t i = 0; i < f.size; ++i) f.bytes[i] = b[i + 3];
        return frame(f, FrameKind::Legacy);
    }
    f.size = count;
    f.bytes = b;
    if (b[0] == response_ || b[0] == NegativeResponse) {
        if (b[0] == NegativeResponse) return frame(f, can ? FrameKind::CanMessage : FrameKind::Legacy);
        if (family_ == Family::Legacy) return frame(f, FrameKind::Legacy);
        if (clear_) return count == 1 ? frame(f, FrameKind::CanMessage) : failure("unreadable answer");
        // Formatting shows a single frame's data, seven bytes at most.
        if (count > 7) return failure("unreadable answer");
        if (family_ != Family::Unknown || count % 2 == 0) return frame(f, FrameKind::CanMessage);
        if (count == 7) return frame(f, FrameKind::Legacy);
        return failure("unreadable answer");
    }
    if (can && (b[0] >> 4U) <= 2 && count <= 8) return frame(f, FrameKind::CanRaw);
    return failure("unreadable answer");
}

// "0:4307013301BB" and so on: a formatted multi-frame CAN answer, headers off, after its
// length line. Line 0 carries six bytes, each later one seven (the last may be padded).
LinkStatus AnswerParser::numberedLine(std::string_view text) {
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
    if (const LinkStatus status = sawForm(true); !status.isOk()) return status;
    if (unit->message.size() < unit->expected) return LinkStatus::ok();
    unit->assembling = false;
    return message(*unit, unit->message.data(), unit->message.size());
}

LinkStatus AnswerParser::frame(Frame& f, FrameKind kind) {
    if (const LinkStatus status = sawForm(kind != FrameKind::Legacy); !status.isOk()) return status;
    Unit* unit = unitFor(f.sender);
    if (unit == nullptr) return failure("too many control units");
    switch (kind) {
    case FrameKind::CanRaw: return canRawFrame(*unit, f);
    case FrameKind::CanMessage:
        if (unit->assembling) return failure("broken multi-frame answer");
        return message(*unit, f.bytes.data(), f.size);
    case FrameKind::Legacy: return legacyFrame(*unit, f);
    }
    return failure("unreadable answer");
}

// ISO 15765-2 frames: single (0L), first (1L LL) and consecutive (2N); frames of one
// sender in order, sequence numbers 1 to F then 0 again.
LinkStatus AnswerParser::canRawFrame(Unit& unit, const Frame& f) {
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

// A whole CAN answer: 43 (or 47), the number of codes, then two bytes a code. The count
// is one byte, so past 255 codes it holds their number modulo 256. Pairs past a smaller
// count must be padding; a count the pairs do not bear out fails.
LinkStatus AnswerParser::message(Unit& unit, const std::uint8_t* bytes, std::size_t size) {
    if (size >= 1 && bytes[0] == NegativeResponse) {
        if (size >= 3 && bytes[1] == service_ && bytes[2] == ResponsePending) return LinkStatus::ok();
        return failure("car refused the request");
    }
    if (size < 1 || bytes[0] != response_) return failure("answer to another request");
    if (clear_) {
        if (size != 1) return failure("unreadable answer");
        unit.answered = true;
        return LinkStatus::ok();
    }
    if (size < 2) return failure("unreadable answer");
    if (size > MaxMessageLength || (size - 2) % 2 != 0) return failure("unreadable answer");
    const std::size_t pairs = (size - 2) / 2;
    const std::size_t count = bytes[1];
    if (count > pairs) return failure("fewer codes than counted");
    const std::size_t counted = pairs % 256 == count ? pairs : count;
    unit.answered = true;
    for (std::size_t i = 0; i < pairs; ++i) {
        const std::uint8_t b1 = bytes[2 + 2 * i];
        const std::uint8_t b2 = bytes[3 + 2 * i];
        if (i >= counted) {
            if (b1 != 0 || b2 != 0) return failure("more codes than counted");
            continue;
        }
        if (const LinkStatus status = addCode(unit, b1, b2); !status.isOk()) return status;
    }
    return LinkStatus::ok();
}

// J1850, ISO 9141-2, ISO 14230: 43 (or 47) and three codes, 0000 filling unused places.
LinkStatus AnswerParser::legacyFrame(Unit& unit, const Frame& f) {
    if (f.size >= 1 && f[0] == NegativeResponse) {
        if (f.size >= 3 && f[1] == service_ && f[2] == ResponsePending) return LinkStatus::ok();
        return failure("car refused the request");
    }
    if (f.size != legacyLength_ || f[0] != response_) return failure("unreadable answer");
    unit.answered = true;
    for (std::size_t i = 1; i < f.size; i += 2) {
        if (const LinkStatus status = addCode(unit, f[i], f[i + 1]); !status.isOk()) return status;
    }
    return LinkStatus::ok();
}

LinkStatus AnswerParser::addCode(Unit& unit, std::uint8_t b1, std::uint8_t b2) {
    if (b1 == 0 && b2 == 0) return LinkStatus::ok();
    if (unit.codes.size() == MaxCodesPerUnit) return failure("too many codes");
    unit.codes.push_back(decodeTroubleCode(b1, b2));
    return LinkStatus::ok();
}

LinkStatus AnswerParser::sawForm(bool can) {
    (can ? sawCan_ : sawLegacy_) = true;
    if (sawCan_ && sawLegacy_) return failure("mixed answer forms");
    return LinkStatus::ok();
}

Unit* AnswerParser::unitFor(const std::string& sender) {
    for (Unit& unit : units_) {
        if (unit.sender == sender) return &unit;
    }
    if (units_.size() == MaxUnits) return nullptr;
    units_.push_back(Unit{sender, {}, {}, 0, 0, false, false});
    return &units_.back();
}

}  // namespace

CodesAnswer parseCodesAnswer(std::string_view answer, Service service, int protocol) {
    if (service == Service::ClearCodes) return {failure("not a request for codes"), false, {}};
    return AnswerParser(service, protocol).parse(answer);
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

LinkStatus parseClearAnswer(std::string_view answer, int protocol) {
    const CodesAnswer parsed = AnswerParser(Service::ClearCodes, protocol).parse(answer);
    if (parsed.status.isOk() && parsed.noData) return failure("car did not confirm");
    return parsed.status;
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
