#pragma once
// The data file's byte-pair encoding: every data byte is spread over two stored bytes,
// two of whose bits repeat data bits as a check.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace vx414 {

// The first (element 0) and the second (element 1) stored byte of one data byte.
using DataPair = std::array<std::uint8_t, 2>;

// The encoding's tables, in the header so that decode, called for every stored pair the
// program reads, is inlined where it is used.
namespace pair_codec_detail {

struct BitPlace {
  int dataBit;
  std::size_t storedByte;  // 0 = first, 1 = second
  int storedBit;
};

// Where each bit of a data byte lives in its pair. This table is the encoding; the
// decoder's lookup tables and the encoder are derived from it.
inline constexpr std::array<BitPlace, 8> kBitTable{{
    {7, 0, 7},
    {6, 0, 3},
    {5, 1, 7},
    {4, 1, 6},
    {3, 0, 5},
    {2, 0, 2},
    {1, 0, 4},
    {0, 0, 6},
}};

// The two check bits: first byte bit 1 repeats data bit 0, second byte bit 4 repeats
// data bit 7.
inline constexpr std::array<BitPlace, 2> kCheckCopies{{
    {0, 0, 1},
    {7, 1, 4},
}};

constexpr bool bitOf(unsigned value, int bit) { return ((value >> bit) & 1u) != 0; }

constexpr const BitPlace& placeOf(int dataBit) {
  for (const BitPlace& place : kBitTable) {
    if (place.dataBit == dataBit) return place;
  }
  return kBitTable[0];  // unreachable: every data bit has a place
}

// The data bits one stored byte contributes, for each of its 256 values.
constexpr std::array<std::uint8_t, 256> contributionTable(std::size_t storedByte) {
  std::array<std::uint8_t, 256> table{};
  for (unsigned value = 0; value < 256; ++value) {
    unsigned data = 0;
    for (const BitPlace& place : kBitTable) {
      if (place.storedByte == storedByte && bitOf(value, place.storedBit)) data |= 1u << place.dataBit;
    }
    table[value] = static_cast<std::uint8_t>(data);
  }
  return table;
}

inline constexpr auto kFromFirst = contributionTable(0);
inline constexpr auto kFromSecond = contributionTable(1);

// Each check copy with the place of the data bit it repeats, worked out once by the
// compiler rather than looked up for every pair.
struct Check {
  BitPlace copy;
  BitPlace original;
};
constexpr std::array<Check, kCheckCopies.size()> checkTable() {
  std::array<Check, kCheckCopies.size()> checks{};
  for (std::size_t i = 0; i < kCheckCopies.size(); ++i) checks[i] = {kCheckCopies[i], placeOf(kCheckCopies[i].dataBit)};
  return checks;
}
inline constexpr auto kChecks = checkTable();

}  // namespace pair_codec_detail

// The data byte a pair holds, or nothing when one of its two check bits disagrees with
// the data bit it repeats. Bits that carry nothing are ignored.
inline std::optional<std::uint8_t> decode(DataPair pair) {
  using namespace pair_codec_detail;
  bool agree = true;
  for (const Check& check : kChecks) {
    agree &= bitOf(pair[check.copy.storedByte], check.copy.storedBit) ==
             bitOf(pair[check.original.storedByte], check.original.storedBit);
  }
  if (!agree) return std::nullopt;
  return static_cast<std::uint8_t>(kFromFirst[pair[0]] | kFromSecond[pair[1]]);
}

// The pair the builder stores for a data byte: check bits set, ignored bits clear.
DataPair encodePair(std::uint8_t dataByte);

}  // namespace vx414
