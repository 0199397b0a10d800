#include "reader/trouble_code.h"

namespace vx414 {
namespace {

constexpr std::array<char, 4> Letters = {'P', 'C', 'B', 'U'};
constexpr std::string_view HexDigits = "0123456789ABCDEF";

std::optional<std::uint8_t> hexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
    return std::nullopt;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const TroubleCode& code) { return out << code.text(); }

TroubleCode decodeTroubleCode(std::uint8_t b1, std::uint8_t b2) {
    const unsigned system = b1 >> 6U;
    const unsigned digits12 = b1 & 0x3FU;
    return TroubleCode{{Letters[system], HexDigits[digits12 >> 4U], HexDigits[digits12 & 0xFU],
                        HexDigits[b2 >> 4U], HexDigits[b2 & 0xFU]}};
}

std::optional<std::array<std::uint8_t, 2>> encodeTroubleCode(std::string_view text) {
    if (text.size() != 5) return std::nullopt;
    unsigned system = Letters.size();
    for (unsigned i = 0; i < Letters.size(); ++i) {
        if (text[0] == Letters[i] || text[0] == Letters[i] - 'A' + 'a') system = i;
    }
    if (system == Letters.size()) return std::nullopt;
    std::array<std::uint8_t, 4> digits{};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const auto value = hexValue(text[i + 1]);
        if (!value) return std::nullopt;
        digits[i] = *value;
    }
    if (digits[0] > 3) return std::nullopt;
    return std::array<std::uint8_t, 2>{
        static_cast<std::uint8_t>((system << 6U) | (unsigned{digits[0]} << 4U) | digits[1]),
        static_cast<std::uint8_t>((unsigned{digits[2]} << 4U) | digits[3])};
}

}  // namespace vx414
