// The fuzzer's bytes are what a data file holds from the generic extension's header on
// (everything before it reads as zeros). The first byte chooses how the rest is taken:
// 0 as stored bytes, as the file holds them; 1 as data bytes, each made a valid pair; 2
// as data bytes with the header's CRC set right, so that the fuzzer reaches the checks
// of the fields and the records behind it. Whatever the bytes, the reader must stay in
// bounds, and either refuse the extension whole or hand back exactly its count of records
// within the loader's limits.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "definitions/generic_extension.h"
#include "definitions/pair_codec.h"

namespace {

using namespace vx414;

void require(bool condition) {
  if (!condition) std::abort();
}

// Stored bytes from the header's position on; zeros before and after.
class ExtensionRegion final : public StoredBytes {
 public:
  explicit ExtensionRegion(std::vector<std::uint8_t> stored) : stored_(std::move(stored)) {}
  DataFileStatus read(std::int32_t position, std::span<std::uint8_t> out) const override {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    const std::int64_t base = positionOfAddress(kExtensionAddress);
    for (std::size_t i = 0; i < out.size(); ++i) {
      const std::int64_t at = position + static_cast<std::int64_t>(i) - base;
      if (at >= 0 && at < static_cast<std::int64_t>(stored_.size())) out[i] = stored_[static_cast<std::size_t>(at)];
    }
    return {};
  }

 private:
  std::vector<std::uint8_t> stored_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int mode = data[0] % 3;
  std::vector<std::uint8_t> rest(data + 1, data + size);
  std::vector<std::uint8_t> stored;
  if (mode == 0) {
    stored = std::move(rest);
  } else {
    if (mode == 2 && rest.size() >= kExtensionHeaderBytes) {
      const std::uint32_t crc = crc32(rest.data(), 28);
      for (int i = 0; i < 4; ++i) rest[28 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
    for (std::uint8_t dataByte : rest) {
      const DataPair pair = encodePair(dataByte);
      stored.push_back(pair[0]);
      stored.push_back(pair[1]);
    }
  }
  const ExtensionRegion file(std::move(stored));

  GenericExtension extension;
  const DataFileStatus status = readGenericExtension(file, extension);
  if (!status.ok()) {
    require(status.code == DataFileCode::BadExtension);
    require(!extension.present && extension.records.empty());
    return 0;
  }
  if (!extension.present) {
    require(extension.records.empty());
    return 0;
  }
  require(extension.header.count >= 1 && extension.header.count <= static_cast<std::uint32_t>(kMaxDefinitionRows));
  require(extension.records.size() == extension.header.count);
  require(extension.header.start == kExtensionAddress + kExtensionHeaderBytes);
  for (const ExtensionRecord& record : extension.records) {
    require(record.code.size() <= kCodeCharacters);
    require(record.definition.size() <= kDefinitionCharacters);
  }
  return 0;
}
