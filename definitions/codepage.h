#pragma once
// Data bytes are shown as Windows-1252 characters; sources are written in UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx414 {

// Every byte becomes one character. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number.
std::string windows1252ToUtf8(std::string_view bytes);

// The character of one data byte as a UTF-16 code unit (every Windows-1252 character lies
// in the Basic Multilingual Plane), with the same rule for the five undefined bytes.
char16_t windows1252ToUtf16(std::uint8_t byte);

// The Windows-1252 bytes of a UTF-8 text, or nothing when the text is not valid UTF-8 or
// holds a character Windows-1252 does not have.
std::optional<std::string> utf8ToWindows1252(std::string_view text);

// Letter case, for data bytes compared without regard to it the way the window compares
// their characters: A-Z with a-z, the accented capitals 0xC0-0xDE (0xD7, the
// multiplication sign, aside) with 0xE0-0xFE, and the pairs of 0x80-0x9F (S and Z with
// caron, OE, Y with diaeresis). Every other byte is its own lower case.
std::uint8_t windows1252Lower(std::uint8_t byte);

// Whether `cell` begins with `text` without regard to case; a cell shorter than the text
// never does. Both are data bytes.
bool startsWithIgnoringCase(std::string_view cell, std::string_view text);
// Equal without regard to case.
bool sameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vx414
