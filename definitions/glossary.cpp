#include "definitions/glossary.h"

#include "definitions/codepage.h"
#include "definitions/items.h"
#include "definitions/make_sections.h"

namespace vx414 {

DataFileStatus loadGlossaryItems(const StoredBytes& file, std::vector<GlossaryItem>& items) {
  items.clear();
  std::vector<GlossaryItem> read;
  read.reserve(kGlossaryEntries);
  std::int32_t DataPos = positionOfAddress(GlossaryAddress);
  for (int entry = 0; entry < kGlossaryEntries; ++entry) {
    GlossaryItem item;
    if (DataFileStatus status = readitem1(file, DataPos, item.term); !status.ok()) return status;
    if (DataFileStatus status = readitem1(file, DataPos, item.explanation); !status.ok()) return status;
    read.push_back(std::move(item));
  }
  items = std::move(read);
  return {};
}

std::vector<std::size_t> termsStartingWith(const std::vector<GlossaryItem>& items, std::string_view text) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (startsWithIgnoringCase(items[i].term, text)) found.push_back(i);
  }
  return found;
}

}  // namespace vx414
