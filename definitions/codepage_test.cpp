#include "definitions/codepage.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vx414
