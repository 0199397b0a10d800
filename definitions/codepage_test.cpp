#include "definitions/codepage.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>

namespace vx414 {
namespace {

TEST(Codepage, ShowsDataBytesAsWindows1252) {
  const struct {
    std::string bytes;
    std::string utf8;
  } cases[] = {
      {"P0101", "P0101"},
      {"\x80", "\xE2\x82\xAC"},          // euro sign
      {"15\x96" "20", "15\xE2\x80\x93" "20"},  // en dash
      {"\xE9", "\xC3\xA9"},              // e acute
      {"\x81", "\xC2\x81"},              // undefined: the control character of that number
      {std::string("\0", 1), std::string("\0", 1)},
      {"\xFF", "\xC3\xBF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(windows1252ToUtf8(c.bytes), c.utf8);
    if (c.bytes != "\x81") {
      EXPECT_EQ(utf8ToWindows1252(c.utf8), c.bytes);
    }
  }
}

TEST(Codepage, GivesEachDataByteAsOneUtf16Unit) {
  const struct {
    std::uint8_t byte;
    char16_t unit;
  } cases[] = {
      {'P', u'P'}, {0x00, 0x0000}, {0x80, 0x20AC}, {0x81, 0x0081}, {0x8D, 0x008D}, {0x96, 0x2013},
      {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF},
  };
  for (const auto& c : cases) EXPECT_EQ(windows1252ToUtf16(c.byte), c.unit) << int(c.byte);
}

TEST(Codepage, RefusesTextWindows1252CannotHold) {
  const std::string bad[] = {
      "\xC2\x81",          // undefined in Windows-1252
      "\xE2\x82",          // cut short
      "\xC0\xA0",          // overlong
      "\xF0\x9F\x9A\x97",  // outside the code page
      "\xEF\xBF\xBD",      // replacement character
      "\x80",              // not UTF-8
  };
  for (const std::string& text : bad) EXPECT_FALSE(utf8ToWindows1252(text)) << text;
}

TEST(Codepage, LetterCaseAgreesWithTheCharactersLowerCaseForEveryPairOfBytes) {
  // The C library's own case tables, consulted through the characters the bytes show, as
  // the second opinion.
  const char* saved = std::setlocale(LC_CTYPE, nullptr);
  const std::string restore = saved != nullptr ? saved : "C";
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  int differences = 0;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const auto lower = [](int byte) { return std::towlower(static_cast<wint_t>(windows1252ToUtf16(static_cast<std::uint8_t>(byte)))); };
      const bool same = windows1252Lower(static_cast<std::uint8_t>(a)) == windows1252Lower(static_cast<std::uint8_t>(b));
      if (same != (lower(a) == lower(b)) && ++differences < 10) ADD_FAILURE() << std::hex << a << " " << b;
    }
  }
  std::setlocale(LC_CTYPE, restore.c_str());
  EXPECT_EQ(differences, 0);

  EXPECT_TRUE(startsWithIgnoringCase("P0101", "p01"));
  EXPECT_TRUE(startsWithIgnoringCase("\xC9TAT", "\xE9t"));
  EXPECT_FALSE(startsWithIgnoringCase("P0", "P01"));
  EXPECT_FALSE(startsWithIgnoringCase("P0[12", "p0{"));  // brackets are no letters
  EXPECT_TRUE(sameIgnoringCase("\x8A" "ab", "\x9A" "AB"));
  EXPECT_FALSE(sameIgnoringCase("P0101", "P010"));
}

}  // namespace
}  // namespace vx414
