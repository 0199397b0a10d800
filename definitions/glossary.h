#pragma once
// The glossary without a grid: the 832 term/explanation pairs read from the data file as
// the window's start-up reads them, and the terms a text begins.

#include <string>
#include <string_view>
#include <vector>

#include "definitions/data_file.h"

namespace vx414 {

// Data bytes (Windows-1252), as read.
struct GlossaryItem {
  std::string term;
  std::string explanation;
};

// Reads the 832 pairs from the glossary's start into `items` (emptied first). A failure
// leaves `items` empty.
DataFileStatus loadGlossaryItems(const StoredBytes& file, std::vector<GlossaryItem>& items);

// Indexes of the items whose term starts with `text` without regard to case, in glossary
// order; every item for an empty text.
std::vector<std::size_t> termsStartingWith(const std::vector<GlossaryItem>& items, std::string_view text);

}  // namespace vx414
