#include "definitions/items.h"

#include <array>

#include "definitions/pair_codec.h"

namespace vx414 {

DataFileStatus readitem1(const StoredBytes& file, std::int32_t& DataPos, std::string& ItemText) {
  std::array<std::uint8_t, kItemBlockBytes> block{};
  if (DataFileStatus status = file.read(DataPos, block); !status.ok()) return status;

  std::string text;
  std::size_t index = 0;
  while (text.size() < kItemCharacters) {
    const std::optional<std::uint8_t> dataByte = decode({block[index], block[index + 1]});
    if (!dataByte) return DataFileStatus::failure(DataFileCode::BadPair, DataPos + static_cast<std::int32_t>(index));
    index += 2;
    if (*dataByte == kTab || *dataByte == kLineFeed) break;
    if (*dataByte == kCarriageReturn) {
      // The look-ahead for a 0x0A. When the 0x0D was the block's 500th pair, that pair
      // lies just past the 1000 bytes fetched; it is then read from the file on its own,
      // so such an item ends exactly as it would anywhere else in a block.
      DataPair next{};
      if (index + 1 < block.size()) {
        next = {block[index], block[index + 1]};
      } else {
        std::array<std::uint8_t, 2> tail{};
        if (DataFileStatus status = file.read(DataPos + static_cast<std::int32_t>(index), tail); !status.ok()) {
          return status;
        }
        next = tail;
      }
      const std::optional<std::uint8_t> following = decode(next);
      if (!following) return DataFileStatus::failure(DataFileCode::BadPair, DataPos + static_cast<std::int32_t>(index));
      if (*following == kLineFeed) index += 2;
      break;
    }
    text.push_back(static_cast<char>(*dataByte));
  }
  DataPos += static_cast<std::int32_t>(index);
  ItemText = std::move(text);
  return {};
}

}  // namespace vx414
