#include "definitions/pair_codec.h"

namespace vx414 {

using namespace pair_codec_detail;

DataPair encodePair(std::uint8_t dataByte) {
  std::array<unsigned, 2> stored{};
  for (const BitPlace& place : kBitTable) {
    if (bitOf(dataByte, place.dataBit)) stored[place.storedByte] |= 1u << place.storedBit;
  }
  for (const BitPlace& copy : kCheckCopies) {
    if (bitOf(dataByte, copy.dataBit)) stored[copy.storedByte] |= 1u << copy.storedBit;
  }
  return {static_cast<std::uint8_t>(stored[0]), static_cast<std::uint8_t>(stored[1])};
}

}  // namespace vx414
