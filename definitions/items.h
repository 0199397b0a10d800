#pragma once
// Text items: runs of data bytes ended by 0x09, 0x0A, 0x0D or 0x0D 0x0A.

#include <cstddef>
#include <cstdint>
#include <string>

#include "definitions/data_file.h"

namespace vx414 {

inline constexpr std::uint8_t kTab = 0x09;
inline constexpr std::uint8_t kLineFeed = 0x0A;
inline constexpr std::uint8_t kCarriageReturn = 0x0D;

// Stored bytes fetched per item, and the most characters an item gives.
inline constexpr std::size_t kItemBlockBytes = 1000;
inline constexpr std::size_t kItemCharacters = 500;

constexpr bool isItemTerminator(std::uint8_t dataByte) {
  return dataByte == kTab || dataByte == kLineFeed || dataByte == kCarriageReturn;
}

// Reads the text item at DataPos into ItemText (one character per data byte, Windows-1252)
// and moves DataPos past the item and its terminator. An item stops after 500 characters
// without consuming anything more. A pair that fails its checks gives BadPair at its
// position and leaves DataPos and ItemText as they were.
DataFileStatus readitem1(const StoredBytes& file, std::int32_t& DataPos, std::string& ItemText);

}  // namespace vx414
