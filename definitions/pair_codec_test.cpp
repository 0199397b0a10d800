#include "definitions/pair_codec.h"

#include <gtest/gtest.h>

namespace vx414 {
namespace {

TEST(PairCodec, DecodesTheStoredPairs) {
  struct Case {
    std::uint8_t first, second;
    std::optional<std::uint8_t> data;
  };
  const Case cases[] = {
      {0x00, 0x00, 0x00},
      {0xFF, 0xFF, 0xFF},
      {0x4A, 0x00, 0x41},          // "A"
      {0x80, 0x10, 0x80},          // data bit 7 with its copy
      {0x40, 0x00, std::nullopt},  // first byte bit 6 set, its copy (bit 1) clear
      {0x80, 0x00, std::nullopt},  // first byte bit 7 set, its copy (second byte bit 4) clear
      {0x02, 0x00, std::nullopt},  // a copy set without its original
      {0x00, 0x10, std::nullopt},
      {0x01, 0x00, 0x00},          // ignored bits: first byte bit 0 ...
      {0x00, 0x2F, 0x00},          // ... second byte bits 0, 1, 2, 3 and 5
      {0x4B, 0x2F, 0x41},
      {0x08, 0x00, 0x40},          // single bits land where the table puts them
      {0x00, 0x80, 0x20},
      {0x00, 0x40, 0x10},
      {0x20, 0x00, 0x08},
      {0x04, 0x00, 0x04},
      {0x10, 0x00, 0x02},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decode({c.first, c.second}), c.data) << std::hex << int(c.first) << " " << int(c.second);
  }
}

TEST(PairCodec, EveryDataByteSurvivesEncoding) {
  for (unsigned value = 0; value < 256; ++value) {
    const auto data = static_cast<std::uint8_t>(value);
    EXPECT_EQ(decode(encodePair(data)), data) << value;
  }
  // Of all 65,536 pairs exactly a quarter pass both checks, 64 for every data byte (the
  // six ignored bits may be anything).
  int valid = 0;
  for (unsigned first = 0; first < 256; ++first) {
    for (unsigned second = 0; second < 256; ++second) {
      if (decode({static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second)})) ++valid;
    }
  }
  EXPECT_EQ(valid, 256 * 64);
}

}  // namespace
}  // namespace vx414
