#include "tools/elm327-emulator/elm327_car.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace vx414::elmemu {
namespace {

constexpr std::string_view CodeLetters = "PCBU";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper >= 'A' && upper <= 'F') return upper - 'A' + 10;
    return -1;
}

constexpr std::array<CarEntry, 10> Cars = {{
    {CarKind::Can11, "can11", "ISO 15765-4 CAN 11-bit 500k; units 7E8, 7E9"},
    {CarKind::Can29, "can29", "ISO 15765-4 CAN 29-bit 500k; units 18DAF110, 18DAF118"},
    {CarKind::Iso9141, "iso9141", "ISO 9141-2; one unit, header 48 6B 11"},
    {CarKind::J1850Vpw, "j1850vpw", "SAE J1850 VPW; units 48 6B 10, 48 6B 18"},
    {CarKind::J1850Pwm, "j1850pwm", "SAE J1850 PWM; units 41 6B 10, 41 6B 18"},
    {CarKind::Kwp, "kwp", "ISO 14230-4 KWP, fast init; one unit, header 8x F1 11"},
    {CarKind::NoCodes, "nocodes", "can11 without answers to 03 and 07: NO DATA"},
    {CarKind::NoCar, "nocar", "no car: SEARCHING... then UNABLE TO CONNECT"},
    {CarKind::Slow, "slow", "iso9141 behind a search of seconds, as a 5-baud init"},
    {CarKind::Silent, "silent", "an adapter that never answers"},
}};

constexpr std::array<std::string_view, HighestProtocol + 1> ProtocolNames = {
    "AUTO",
    "SAE J1850 PWM",
    "SAE J1850 VPW",
    "ISO 9141-2",
    "ISO 14230-4 (KWP 5BAUD)",
    "ISO 14230-4 (KWP FAST)",
    "ISO 15765-4 (CAN 11/500)",
    "ISO 15765-4 (CAN 29/500)",
    "ISO 15765-4 (CAN 11/250)",
    "ISO 15765-4 (CAN 29/250)",
    "SAE J1939 (CAN 29/250)",
    "USER1 (CAN 11/125)",
    "USER2 (CAN 11/50)",
};

// What each unit says it supports to service 01 PID 00: engine, then transmission.
constexpr std::array<std::uint8_t, 4> EngineSupport = {0xBE, 0x3F, 0xA8, 0x13};
constexpr std::array<std::uint8_t, 4> TransmissionSupport = {0x98, 0x18, 0x80, 0x01};

// With two units, the engine unit holds every code but the last, which the transmission
// unit holds: with three or more codes the engine's CAN answer needs several frames.
void shareCodes(const std::vector<Code>& codes, std::vector<Code>& first, std::vector<Code>& second, bool two) {
    first = codes;
    second.clear();
    if (two && first.size() >= 2) {
        second.push_back(first.back());
        first.pop_back();
    }
}

}  // namespace

std::optional<Code> parseCode(std::string_view text) {
    if (text.size() != 5) return std::nullopt;
    const auto letter =
        CodeLetters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))));
    if (letter == std::string_view::npos) return std::nullopt;
    std::array<int, 4> digits{};
    for (std::size_t i = 0; i < 4; ++i) {
        digits[i] = hexValue(text[i + 1]);
        if (digits[i] < 0) return std::nullopt;
    }
    if (digits[0] > 3) return std::nullopt;
    return Code{static_cast<std::uint8_t>((letter << 6U) | static_cast<unsigned>(digits[0] << 4) |
                                          static_cast<unsigned>(digits[1])),
                static_cast<std::uint8_t>((digits[2] << 4) | digits[3])};
}

std::optional<std::vector<Code>> parseCodeList(std::string_view text) {
    std::vector<Code> codes;
    if (text.empty() || text == "none") return codes;
    while (true) {
        const auto comma = text.find(',');
        const auto code = parseCode(text.substr(0, comma));
        if (!code) return std::nullopt;
        codes.push_back(*code);
        if (comma == std::string_view::npos) return codes;
        text.remove_prefix(comma + 1);
    }
}

bool isCan(int protocol) { return protocol >= Can11Protocol && protocol <= HighestProtocol; }
bool isKLine(int protocol) { return protocol >= Iso9141Protocol && protocol <= KwpFastProtocol; }

std::string_view protocolName(int protocol) {
    if (protocol < 0 || protocol > HighestProtocol) return "?";
    return ProtocolNames[static_cast<std::size_t>(protocol)];
}

std::span<const CarEntry> carEntries() { return Cars; }

std::optional<CarKind> carKindByName(std::string_view name) {
    for (const CarEntry& entry : Cars) {
        if (entry.name == name) return entry.kind;
    }
    return std::nullopt;
}

int defaultSearchMilliseconds(CarKind kind) {
    switch (kind) {
    case CarKind::Iso9141: return 300;
    case CarKind::Kwp: return 200;
    case CarKind::J1850Vpw:
    case CarKind::J1850Pwm: return 100;
    case CarKind::NoCar: return 1000;
    case CarKind::Slow: return 4000;
    case CarKind::Can11:
    case CarKind::Can29:
    case CarKind::NoCodes:
    case CarKind::Silent: return 50;
    }
    return 50;
}

std::uint8_t frameCheck(int protocol, std::uint32_t header, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(header >> 16U), static_cast<std::uint8_t>(header >> 8U),
                                       static_cast<std::uint8_t>(header)};
    bytes.insert(bytes.end(), data.begin(), data.end());
    if (protocol == PwmProtocol || protocol == VpwProtocol) {
        // CRC-8, polynomial x^8 + x^4 + x^3 + x^2 + 1, preset and inverted at the end.
        unsigned crc = 0xFFU;
        for (const std::uint8_t byte : bytes) {
            crc ^= byte;
            for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80U) != 0 ? ((crc << 1U) ^ 0x1DU) & 0xFFU : (crc << 1U) & 0xFFU;
        }
        return static_cast<std::uint8_t>(~crc & 0xFFU);
    }
    unsigned sum = 0;
    for (const std::uint8_t byte : bytes) sum += byte;
    return static_cast<std::uint8_t>(sum & 0xFFU);
}

Car::Car(const CarSetup& setup)
    : kind_(setup.kind),
      vehicle_(setup.vehicle != nullptr ? setup.vehicle : &defaultVehicleProfile(setup.kind)),
      engine_(setup.engineClock),
      paddedVin_(setup.paddedVin),
      frameLister_(setup.frameLister),
      engineOff_(setup.engineOff) {
    bool two = true;
    switch (kind_) {
    case CarKind::Can11:
    case CarKind::NoCodes:
    case CarKind::Silent:
        protocol_ = Can11Protocol;
        ecus_ = {{0x7E8, EngineSupport, {}, {}, {}}, {0x7E9, TransmissionSupport, {}, {}, {}}};
        break;
    case CarKind::Can29:
        protocol_ = Can29Protocol;
        ecus_ = {{0x18DAF110, EngineSupport, {}, {}, {}}, {0x18DAF118, TransmissionSupport, {}, {}, {}}};
        break;
    case CarKind::J1850Vpw:
    case CarKind::J1850Pwm:
        protocol_ = kind_ == CarKind::J1850Vpw ? VpwProtocol : PwmProtocol;
        ecus_ = {{0x10, EngineSupport, {}, {}, {}}, {0x18, TransmissionSupport, {}, {}, {}}};
        break;
    case CarKind::Iso9141:
    case CarKind::Slow:
    case CarKind::Kwp:
        protocol_ = kind_ == CarKind::Kwp ? KwpFastProtocol : Iso9141Protocol;
        ecus_ = {{0x11, EngineSupport, {}, {}, {}}};
        two = false;
        break;
    case CarKind::NoCar:
        protocol_ = AutoProtocol;
        return;
    }
    if (two) {
        shareCodes(setup.pending, ecus_[0].pending, ecus_[1].pending, true);
        shareCodes(setup.stored, ecus_[0].stored, ecus_[1].stored, true);
    } else {
        ecus_[0].pending = setup.pending;
        ecus_[0].stored = setup.stored;
    }
    // The engine's first stored code is also permanent: clearing does not erase it.
    if (!ecus_[0].stored.empty()) ecus_[0].permanent = {ecus_[0].stored.front()};
}

std::uint32_t Car::legacyHeader(std::uint32_t source, std::size_t dataLength) const {
    switch (protocol_) {
    case PwmProtocol: return 0x416B00U | source;
    case Kwp5BaudProtocol:
    case KwpFastProtocol: return ((0x80U | static_cast<std::uint32_t>(dataLength & 0x3FU)) << 16U) | 0xF100U | source;
    default: return 0x486B00U | source;
    }
}

bool Car::fromFirstUnit(const EcuMessage& message) const {
    // A legacy header ends with the unit's source address.
    return !ecus_.empty() && (message.header & 0xFFU) == (ecus_.front().header & 0xFFU);
}

std::vector<EcuMessage> Car::codeAnswer(std::uint8_t service, const Ecu& ecu) const {
    const std::vector<Code>& codes = service == 0x03 ? ecu.stored : service == 0x0A ? ecu.permanent : ecu.pending;
    const auto reply = static_cast<std::uint8_t>(service + 0x40U);
    if (isCan(protocol_)) {
        // ISO 15765-4 puts the number of codes first.
        EcuMessage message{ecu.header, {reply, static_cast<std::uint8_t>(std::min<std::size_t>(codes.size(), 0xFF))}};
        for (const Code& code : codes) message.data.insert(message.data.end(), code.begin(), code.end());
        return {message};
    }
    // Legacy buses: three codes a frame, padded with 0000; no codes is one frame of zeros.
    std::vector<EcuMessage> frames;
    std::size_t next = 0;
    do {
        std::vector<std::uint8_t> data = {reply};
        for (int slot = 0; slot < 3; ++slot, ++next) {
            const Code code = next < codes.size() ? codes[next] : Code{0, 0};
            data.insert(data.end(), code.begin(), code.end());
        }
        frames.push_back({legacyHeader(ecu.header, data.size()), std::move(data)});
    } while (next < codes.size());
    return frames;
}

std::vector<EcuMessage> Car::answer(std::span<const std::uint8_t> request) {
    std::vector<EcuMessage> messages;
    if (request.empty() || protocol_ == AutoProtocol) return messages;
    auto add = [this, &messages](const Ecu& ecu, std::vector<std::uint8_t> data) {
        const std::uint32_t header = isCan(protocol_) ? ecu.header : legacyHeader(ecu.header, data.size());
        messages.push_back({header, std::move(data)});
    };
    switch (request[0]) {
    case 0x01: {
        // On CAN a request may name up to six PIDs, answered in one message of each unit
        // that supports any of them; the older buses answer the first PID alone.
        const std::size_t last = isCan(protocol_) ? request.size() : std::min<std::size_t>(request.size(), 2);
        if (request.size() < 2 || request.size() > 7) break;
        for (const Ecu& ecu : ecus_) {
            std::vector<std::uint8_t> data = {0x41};
            for (std::size_t i = 1; i < last; ++i) {
                if (request[i] == 0x00) {
                    data.insert(data.end(), {0x00, ecu.supported[0], ecu.supported[1], ecu.supported[2], ecu.supported[3]});
                } else if (request[i] == 0x01) {
                    // The warning lamp is on while any code is stored; then the number of codes
                    // and the monitors, every supported one incomplete after a clear.
                    const auto count = static_cast<std::uint8_t>(std::min<std::size_t>(ecu.stored.size(), 0x7F));
                    const auto& [b, c, d] = vehicle_->monitors;
                    data.insert(data.end(), {0x01, static_cast<std::uint8_t>(count == 0 ? 0x00 : 0x80U | count), b,
                                             c, cleared_ ? c : d});
                } else if (const auto live = liveAnswer(ecu.supported, &ecu == &ecus_.front(), request[i], engine_.seconds(),
                                                          !engineOff_)) {
                    data.insert(data.end(), live->begin(), live->end());
                }
            }
            if (data.size() > 1) add(ecu, std::move(data));
        }
        break;
    }
    case 0x03:
    case 0x07:
        if (kind_ == CarKind::NoCodes) break;
        for (const Ecu& ecu : ecus_) {
            for (EcuMessage& message : codeAnswer(request[0], ecu)) messages.push_back(std::move(message));
        }
        break;
    case 0x04:
        for (Ecu& ecu : ecus_) {
            ecu.pending.clear();
            ecu.stored.clear();
            add(ecu, {0x44});
        }
        cleared_ = true;
        break;
    case 0x02:
    case 0x09:
    case 0x0A:
        return vehicleAnswer(request);
    default:
        break;
    }
    return messages;
}

}  // namespace vx414::elmemu
