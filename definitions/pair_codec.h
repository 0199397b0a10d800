#pragma once
// The data file's byte-pair encoding: every data byte is spread over two stored bytes,
// two of whose bits repeat data bits as a check.

#include <array>
#include <cstdint>
#include <optional>

namespace vx414 {

// The first (element 0) and the second (element 1) stored byte of one data byte.
using DataPair = std::array<std::uint8_t, 2>;

// The data byte a pair holds, or nothing when one of its two check bits disagrees with
// the data bit it repeats. Bits that carry nothing are ignored.
std::optional<std::uint8_t> decode(DataPair pair);

// The pair the builder stores for a data byte: check bits set, ignored bits clear.
DataPair encodePair(std::uint8_t dataByte);

}  // namespace vx414
