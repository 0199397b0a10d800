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
bool isNorthAmerican(std::string_view vin) { return vin[0] >= '1' && vin[0] <= '5'; }

int transliterated(char c) {
    if (isDigit(c)) return c - '0';
    if (c < 'A' || c > 'Z') return 0;
    constexpr std::string_view Values = "12345678.12345.7.923456789";  // A to Z; I, O, Q unused
    return Values[static_cast<std::size_t>(c - 'A')] - '0';
}

VinRead checked(std::string text) {
    const VinFault fault = checkVin(text);
    if (fault != VinFault::None) return {{}, fault};
    return {std::move(text), VinFault::None};
}

std::string withoutPadding(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty() && bytes.front() == 0x00) bytes = bytes.subspan(1);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

VinRead assembleVin(const std::vector<std::vector<std::uint8_t>>& messages) {
    auto isVinMessage = [](const std::vector<std::uint8_t>& m) { return m.size() >= 3 && m[0] == 0x49 && m[1] == 0x02; };
    if (messages.empty() || !std::all_of(messages.begin(), messages.end(), isVinMessage)) return {};
    if (messages.size() == 1) {
        const std::vector<std::uint8_t>& message = messages.front();
        if (message[2] != 0x01 || message.size() <= 7) return {};
        return checked(withoutPadding(std::span(message).subspan(3)));
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
    if (isNorthAmerican(vin) && vin[8] != vinCheckDigit(vin)) return VinFault::CheckDigit;
    return VinFault::None;
}

char vinCheckDigit(std::string_view vin) {
    int sum = 0;
    for (std::size_t i = 0; i < VinLength && i < vin.size(); ++i) sum += transliterated(vin[i]) * Weights[i];
    const int remainder = sum % 11;
    return remainder == 10 ? 'X' : static_cast<char>('0' + remainder);
}

int vinModelYear(std::string_view vin, int currentYear) {
    if (vin.size() != VinLength) return 0;
    const auto code = YearCodes.find(vin[9]);
    if (code == std::string_view::npos) return 0;
    const int first = 1980 + static_cast<int>(code);
    if (isNorthAmerican(vin)) return isDigit(vin[6]) ? first : first + 30;
    int year = first;
    while (year + 30 <= currentYear + 1) year += 30;
    return year;
}

}  // namespace vx414::obd
