// The fuzzer's bytes are a data file. The first four choose where a section starts and
// how long it is; the item reader runs from position 1 and the section walk over that
// section. Whatever the bytes, both must stay in bounds and keep their limits.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "definitions/items.h"
#include "definitions/section_walk.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vx414;
  const std::span<const std::uint8_t> file(data, size);
  const MemoryBytes bytes(file);

  std::int32_t DataPos = 1;
  std::string ItemText;
  for (int item = 0; item < 64; ++item) {
    const std::int32_t before = DataPos;
    const DataFileStatus status = readitem1(bytes, DataPos, ItemText);
    if (!status.ok()) {
      require(status.code == DataFileCode::BadPair);
      require(status.position >= before && status.position <= before + 1000);
      require(DataPos == before);
      break;
    }
    require(ItemText.size() <= kItemCharacters);
    require(DataPos - before >= 2 && DataPos - before <= 1004);
    require((DataPos - before) % 2 == 0);
  }

  const auto choice = [&](std::size_t at) { return at + 1 < size ? (data[at] << 8 | data[at + 1]) : 0; };
  const std::int32_t MakeStart = 1 + 2 * choice(0);
  const std::int32_t MakeEnd = MakeStart + 8 * choice(2);
  const int maxRows = 1 + choice(4) % 10000;
  int rows = 0;
  std::int32_t lastEnd = MakeStart;
  WalkSummary summary;
  const DataFileStatus status = walkSection(
      bytes, {"fuzz", MakeStart, MakeEnd, maxRows},
      [&](const WalkedRecord& record) {
        require(record.code.size() <= kCodeCharacters);
        require(record.definition.size() <= kDefinitionCharacters);
        require(record.start == lastEnd);
        require(record.end - record.start >= 4);
        lastEnd = record.end;
        ++rows;
      },
      &summary);
  require(summary.rows == rows && rows <= maxRows);
  if (status.ok()) require(rows >= 1 && summary.end >= MakeEnd);
  return 0;
}
