// Trouble codes: the two-byte SAE J2012 encoding the reader sends, and its five-character text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace vx414 {

// One diagnostic trouble code: "P", "C", "B" or "U" and four uppercase hexadecimal digits,
// the first 0 to 3. Held by value so that a whole report decodes without allocating.
struct TroubleCode {
    std::array<char, 5> chars{};

    std::string_view text() const { return {chars.data(), chars.size()}; }
    std::string toString() const { return std::string(text()); }
    friend bool operator==(const TroubleCode&, const TroubleCode&) = default;
};

std::ostream& operator<<(std::ostream& out, const TroubleCode& code);

// b1 is the first byte sent: its top two bits pick the letter, its low six bits give
// digits 1 and 2; b2 gives digits 3 and 4.
TroubleCode decodeTroubleCode(std::uint8_t b1, std::uint8_t b2);

// The inverse, for the emulator and the tests: "p0300" and "P0300" both give {0x03, 0x00}.
// Anything that is not a letter P, C, B or U, a digit 0 to 3 and three hex digits gives nothing.
std::optional<std::array<std::uint8_t, 2>> encodeTroubleCode(std::string_view text);

}  // namespace vx414
