#pragma once
// The definitions table in memory, without a grid: the generic section's records from row 0
// on, then the chosen make's, loaded as the window loads them at start-up and on a make
// choice; the look-up the result table's fill makes in it, and the code search over it.

#include <string>
#include <string_view>
#include <vector>

#include "definitions/data_file.h"
#include "definitions/make_sections.h"

namespace vx414 {

// One row: the code and the definition as data bytes (Windows-1252).
struct DefinitionRow {
  std::string code;
  std::string definition;
};

// What the code search shows for a text: the row found, the row whose definition is
// shown for its code (meaningRow: the same row unless the code is held twice), and the
// row of the entry after it; -1 where there is none.
struct CodeSearchHit {
  int found = -1;
  int meaning = -1;
  int next = -1;
};

class DefinitionsTable {
 public:
  // Reads the generic section into rows 0 on (row 0, the section's first record, is a
  // heading the scans never reach), the generic extension's records after them when the
  // file has one (all of them generic rows), then, unless `make` shares the generic section, the
  // make's section into the rows after them. A failure leaves the table empty.
  DataFileStatus load(const StoredBytes& file, const MakeSection& make);

  const std::vector<DefinitionRow>& rows() const { return rows_; }
  int genericCount() const { return genericCount_; }
  int rowCount() const { return static_cast<int>(rows_.size()); }

  // The row whose definition the result table shows for `code` (meaningRow); -1 when no
  // row holds the code.
  int rowForCode(std::string_view code) const;

  // The first row from 1 on whose code starts with `text` without regard to case, the row
  // its code's meaning comes from, and the entry shown after it (a repeated code passed
  // over; none after the last generic row).
  CodeSearchHit search(std::string_view text) const;

  // True when the rows after the generic ones hold a maker's own code: the make chosen
  // has texts of its own in this file.
  bool holdsMakerTexts() const;

 private:
  std::vector<DefinitionRow> rows_;
  int genericCount_ = 0;
};

}  // namespace vx414
