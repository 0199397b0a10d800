#include "definitions/codepage.h"

#include <array>
#include <cstdint>

namespace vx414 {
namespace {

// Code points of the bytes 0x80 to 0x9F; 0 marks the five undefined ones.
constexpr std::array<char32_t, 32> kHighControls{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char32_t codePointOf(std::uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0) {
    const char32_t mapped = kHighControls[byte - 0x80u];
    return mapped != 0 ? mapped : byte;
  }
  return byte;
}

void appendUtf8(std::string& out, char32_t cp) {
  const auto put = [&out](char32_t v) { out.push_back(static_cast<char>(static_cast<std::uint8_t>(v))); };
  if (cp < 0x80) {
    put(cp);
  } else if (cp < 0x800) {
    put(0xC0 | (cp >> 6));
    put(0x80 | (cp & 0x3F));
  } else {
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
}

std::optional<std::uint8_t> byteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<std::uint8_t>(cp);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == cp) return static_cast<std::uint8_t>(0x80 + i);
  }
  return std::nullopt;
}

}  // namespace

char16_t windows1252ToUtf16(std::uint8_t byte) { return static_cast<char16_t>(codePointOf(byte)); }

std::string windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) appendUtf8(out, codePointOf(static_cast<std::uint8_t>(c)));
  return out;
}

std::optional<std::string> utf8ToWindows1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
      length = 1;
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      cp = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      cp = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      cp = lead & 0x07u;
    } else {
      return std::nullopt;
    }
    if (i + length > text.size()) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (next & 0x3Fu);
    }
    // Overlong forms are not UTF-8.
    static constexpr std::array<char32_t, 5> kSmallest{0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[length]) return std::nullopt;
    const std::optional<std::uint8_t> byte = byteOf(cp);
    if (!byte) return std::nullopt;
    out.push_back(static_cast<char>(*byte));
    i += length;
  }
  return out;
}

std::uint8_t windows1252Lower(std::uint8_t byte) {
  if (byte >= 'A' && byte <= 'Z') return static_cast<std::uint8_t>(byte + ('a' - 'A'));
  if (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7) return static_cast<std::uint8_t>(byte + 0x20);
  switch (byte) {
    case 0x8A: return 0x9A;  // S with caron
    case 0x8C: return 0x9C;  // OE
    case 0x8E: return 0x9E;  // Z with caron
    case 0x9F: return 0xFF;  // Y with diaeresis
    default: return byte;
  }
}

bool startsWithIgnoringCase(std::string_view cell, std::string_view text) {
  if (cell.size() < text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (windows1252Lower(static_cast<std::uint8_t>(cell[i])) != windows1252Lower(static_cast<std::uint8_t>(text[i])))
      return false;
  }
  return true;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && startsWithIgnoringCase(a, b);
}

}  // namespace vx414
