#include "reader/obd/vin.h"

#include <algorithm>
#include <array>

namespace vx414::obd {
namespace {

constexpr std::size_t VinLength = 17;
constexpr std::string_view YearCodes = "ABCDEFGHJKLMNPRSTVWXY123456789";  // 1980 on
constexpr std::array<int, VinLength> Weights = {8, 7, 6, 5, 4, 3, 2, 10, 0, 9, 8, 7, 6, 5, 4, 3, 2};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isVinCharacter(char c) { return isDigit(c) || (c >= 'A' && c <= 'Z' && c != 'I' && c != 'O' && c != 'Q'); }

int transliterated(char c) {
    if (isDigit(c)) return c - '0';
    if (c < 'A' || c > 'Z') return 0;
    constexpr std::string_view Values = "12345678.12345.7.923456789";  // A to Z; I, O, Q unused
    return Values[static_cast<std::size_t>(c - 'A')] - '0';
}

VinRead checked(std::string text) {
    const VinFault fault = checkVin(text);
    if (fault != VinFault::None && fault != VinFault::CheckDigit) return {{}, fault};
    return {std::move(text), fault};
}

bool isPadding(std::uint8_t byte) { return byte == 0x00 || byte == 0xFF; }

std::string withoutPadding(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty() && isPadding(bytes.front())) bytes = bytes.subspan(1);
    while (!bytes.empty() && isPadding(bytes.back())) bytes = bytes.first(bytes.size() - 1);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

VinRead assembleVin(const std::vector<std::vector<std::uint8_t>>& messages) {
    auto isVinMessage = [](const std::vector<std::uint8_t>& m) { return m.size() >= 3 && m[0] == 0x49 && m[1] == 0x02; };
    if (messages.empty() || !std::all_of(messages.begin(), messages.end(), isVinMessage)) return {};
    if (messages.size() == 1) {
        std::span<const std::uint8_t> rest = std::span(messages.front()).subspan(2);
        // The message count: no VIN character is 01, so a leading 01 can only be it.
        if (rest.front() == 0x01) rest = rest.subspan(1);
        else if (!isPadding(rest.front()) && !isVinCharacter(static_cast<char>(rest.front()))) return {};
        if (rest.size() <= 4) return {};  // one legacy frame alone
        return checked(withoutPadding(rest));
    }
    constexpr std::size_t Frames = 5;
    if (messages.size() != Frames) return {};
    std::array<const std::vector<std::uint8_t>*, Frames> bySequence{};
    for (const std::vector<std::uint8_t>& frame : messages) {
        const unsigned sequence = frame[2];
        if (frame.size() != 7 || sequence < 1 || sequence > Frames || bySequence[sequence - 1] != nullptr) return {};
        bySequence[sequence - 1] = &frame;
    }
    std::vector<std::uint8_t> bytes;
    for (const auto* frame : bySequence) bytes.insert(bytes.end(), frame->begin() + 3, frame->end());
    return checked(withoutPadding(bytes));
}

VinFault checkVin(std::string_view vin) {
    if (vin.size() != VinLength) return VinFault::Length;
    if (!std::all_of(vin.begin(), vin.end(), isVinCharacter)) return VinFault::Character;
    if (vinRules(vin) != VinRules::Maker && vin[8] != vinCheckDigit(vin)) return VinFault::CheckDigit;
    return VinFault::None;
}

char vinCheckDigit(std::string_view vin) {
    int sum = 0;
    for (std::size_t i = 0; i < VinLength && i < vin.size(); ++i) sum += transliterated(vin[i]) * Weights[i];
    const int remainder = sum % 11;
    return remainder == 10 ? 'X' : static_cast<char>('0' + remainder);
}

bool hasValidCheckDigit(std::string_view vin) {
    return vin.size() == VinLength && std::all_of(vin.begin(), vin.end(), isVinCharacter) && vin[8] == vinCheckDigit(vin);
}

bool isLegacyProtocol(int protocol) { return protocol >= 1 && protocol <= 5; }
bool isCanProtocol(int protocol) { return protocol >= 6 && protocol <= 12; }

int vinModelYear(std::string_view vin, int currentYear, int protocol) {
    if (vin.size() != VinLength) return 0;
    const auto code = YearCodes.find(vin[9]);
    if (code == std::string_view::npos) return 0;
    const VinRules rules = vinRules(vin);
    if (rules == VinRules::Maker && !yearInPositionTen(vin)) return 0;

    constexpr int FirstObdYear = 1994;
    constexpr int LastLegacyBusYear = 2019;
    constexpr int FirstCanBusYear = 2000;
    const int first = 1980 + static_cast<int>(code);
    auto possible = [&](int year) {
        if (year > currentYear + 1 || year < FirstObdYear) return false;
        if (isLegacyProtocol(protocol) && year > LastLegacyBusYear) return false;
        if (isCanProtocol(protocol) && year < FirstCanBusYear) return false;
        return true;
    };
    const bool older = possible(first);
    const bool newer = possible(first + 30);
    if (rules == VinRules::NorthAmerican) {
        if (isDigit(vin[6])) return older ? first : 0;
        if (newer) return first + 30;
        return older ? first : 0;
    }
    if (older == newer) return 0;  // neither, or both with nothing to choose between them
    return older ? first : first + 30;
}

}  // namespace vx414::obd
