#include "definitions/items.h"

#include <gtest/gtest.h>

#include "definitions/test_support.h"

namespace vx414 {
namespace {

using testing::storedBytes;

struct Read {
  std::string text;
  std::int32_t next;  // DataPos after the read
};

struct ItemCase {
  const char* name;
  std::string data;
  std::int32_t start;
  std::vector<Read> reads;
};

std::string repeat(char c, std::size_t n) { return std::string(n, c); }

TEST(Items, ReadsItemsAndTheirTerminators) {
  const ItemCase cases[] = {
      {"CR LF is one terminator", "AB\r\nCD\n", 1, {{"AB", 9}, {"CD", 15}}},
      {"a lone CR leaves the next byte", "AB\rCD\t", 1, {{"AB", 7}, {"CD", 13}}},
      {"tab and lone LF", "P0101\tMass air flow\n", 1, {{"P0101", 13}, {"Mass air flow", 41}}},
      {"empty items", "\n\r\n\t", 1, {{"", 3}, {"", 7}, {"", 9}}},
      {"a CR before a CR", "A\r\rB\n", 1, {{"A", 5}, {"", 7}, {"B", 11}}},
      {"0x00 is a character", std::string("\0A\n", 3), 1, {{std::string("\0A", 2), 7}}},
      {"starts where DataPos says", "xx\nGLOSSARY\n", 7, {{"GLOSSARY", 25}}},
      {"high bytes pass through", "\x80\xE9\n", 1, {{"\x80\xE9", 7}}},
      {"600 characters give 500, then 100", repeat('x', 600) + "\n", 1,
       {{repeat('x', 500), 1001}, {repeat('x', 100), 1203}}},
      {"500 characters leave the terminator to the next read", repeat('y', 500) + "\nZ\n", 1,
       {{repeat('y', 500), 1001}, {"", 1003}, {"Z", 1007}}},
      {"499 characters and a terminator fill the block", repeat('y', 499) + "\nZ\n", 1,
       {{repeat('y', 499), 1001}, {"Z", 1005}}},
      {"the end of the file reads as 0x00 characters", "AB", 1, {{"AB" + repeat('\0', 498), 1001}}},
      {"past the end of the file", "", 1, {{repeat('\0', 500), 1001}}},
      // A 0x0D as the block's 500th pair: its look-ahead is read from the file.
      {"CR LF across the block's end", repeat('x', 499) + "\r\nY\n", 1, {{repeat('x', 499), 1003}, {"Y", 1007}}},
      {"lone CR at the block's end", repeat('x', 499) + "\rZ\n", 1, {{repeat('x', 499), 1001}, {"Z", 1005}}},
      {"CR at the block's end and the file's", repeat('x', 499) + "\r", 1, {{repeat('x', 499), 1001}}},
  };
  for (const ItemCase& c : cases) {
    const std::vector<std::uint8_t> stored = storedBytes(c.data);
    const MemoryBytes file(stored);
    std::int32_t DataPos = c.start;
    for (const Read& expected : c.reads) {
      std::string ItemText = "stale";
      const DataFileStatus status = readitem1(file, DataPos, ItemText);
      ASSERT_TRUE(status.ok()) << c.name << ": " << describe(status);
      EXPECT_EQ(ItemText, expected.text) << c.name;
      EXPECT_EQ(DataPos, expected.next) << c.name;
    }
  }
}

TEST(Items, BadPairsAreReportedWhereTheyAre) {
  const struct {
    const char* name;
    std::string data;
    std::size_t damagedPair;  // counted from 0
    std::int32_t position;
  } cases[] = {
      {"first pair", "AB\n", 0, 1},
      {"a terminator", "AB\n", 2, 5},
      {"the look-ahead after a CR", "AB\rC\n", 3, 7},
      {"the look-ahead past the block", repeat('x', 499) + "\r\n", 500, 1001},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> stored = storedBytes(c.data);
    stored[2 * c.damagedPair] ^= 0x40;  // breaks the first check
    const MemoryBytes file(stored);
    std::int32_t DataPos = 1;
    std::string ItemText = "kept";
    const DataFileStatus status = readitem1(file, DataPos, ItemText);
    EXPECT_EQ(status.code, DataFileCode::BadPair) << c.name;
    EXPECT_EQ(status.position, c.position) << c.name;
    EXPECT_EQ(DataPos, 1) << c.name;
    EXPECT_EQ(ItemText, "kept") << c.name;
  }
}

}  // namespace
}  // namespace vx414
