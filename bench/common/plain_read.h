// The reference that the data-file benchmarks compare a load with: one plain read of the
// same stored bytes, every pair decoded through a 65,536-entry table, then split into the
// same items or records. It is what the machine needs at least for the bytes a load reads.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "definitions/data_file.h"
#include "definitions/items.h"
#include "definitions/pair_codec.h"
#include "definitions/section_walk.h"

namespace vx414::bench {

// The data byte of every possible stored pair, or -1 for a pair that fails its checks.
class PairTable {
 public:
  PairTable() {
    for (unsigned pair = 0; pair < table_.size(); ++pair) {
      const std::optional<std::uint8_t> data =
          decode({static_cast<std::uint8_t>(pair >> 8), static_cast<std::uint8_t>(pair)});
      table_[pair] = data ? static_cast<std::int16_t>(*data) : std::int16_t{-1};
    }
  }

  // One read of `count` stored bytes from `position`, every pair decoded by the table.
  // Aborts on a failed read or a bad pair: the reference only runs over good files.
  std::vector<std::uint8_t> plainDecode(const StoredBytes& file, std::int32_t position, std::size_t count) const {
    std::vector<std::uint8_t> stored(count);
    if (!file.read(position, stored).ok()) std::abort();
    std::vector<std::uint8_t> data(count / 2);
    for (std::size_t i = 0; i < data.size(); ++i) {
      const std::int16_t value = table_[static_cast<std::size_t>(stored[2 * i]) << 8 | stored[2 * i + 1]];
      if (value < 0) std::abort();
      data[i] = static_cast<std::uint8_t>(value);
    }
    return data;
  }

 private:
  std::array<std::int16_t, 65536> table_{};
};

// Splits decoded data bytes at item terminators into up to items.size() items; returns
// how many were filled.
inline std::size_t splitItems(const std::vector<std::uint8_t>& data, std::vector<std::string>& items) {
  const char* text = reinterpret_cast<const char*>(data.data());
  std::size_t item = 0;
  std::size_t from = 0;
  for (std::size_t i = 0; i < data.size() && item < items.size(); ++i) {
    if (isItemTerminator(data[i])) {
      items[item++].assign(text + from, i - from);
      from = i + 1;
    }
  }
  return item;
}

// Splits decoded data bytes into records of a code (cut to five characters) and a
// definition, up to rows.size() records; returns how many were filled.
inline std::size_t splitRecords(const std::vector<std::uint8_t>& data,
                                std::vector<std::pair<std::string, std::string>>& rows) {
  const char* text = reinterpret_cast<const char*>(data.data());
  std::size_t row = 0;
  std::size_t from = 0;
  bool code = true;
  for (std::size_t i = 0; i < data.size() && row < rows.size(); ++i) {
    if (!isItemTerminator(data[i])) continue;
    if (code) {
      rows[row].first.assign(text + from, std::min<std::size_t>(i - from, kCodeCharacters));
    } else {
      rows[row].second.assign(text + from, i - from);
      ++row;
    }
    code = !code;
    from = i + 1;
  }
  return row;
}

}  // namespace vx414::bench
