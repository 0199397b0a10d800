#include "definitions/definitions_table.h"

#include "definitions/code_ranges.h"
#include "definitions/code_search.h"
#include "definitions/codepage.h"
#include "definitions/generic_extension.h"
#include "definitions/section_walk.h"

namespace vx414 {
namespace {

DataFileStatus appendSection(const StoredBytes& file, const MakeSection& section, std::vector<DefinitionRow>& rows) {
  const SectionWalk walk{section.name, positionOfAddress(section.start), positionOfAddress(section.end),
                         kMaxDefinitionRows - static_cast<int>(rows.size())};
  return walkSection(file, walk, [&](const WalkedRecord& record) {
    rows.push_back({std::string(record.code), std::string(record.definition)});
  });
}

}  // namespace

DataFileStatus DefinitionsTable::load(const StoredBytes& file, const MakeSection& make) {
  rows_.clear();
  genericCount_ = 0;
  std::vector<DefinitionRow> rows;
  DataFileStatus status = appendSection(file, kMakeSections[0], rows);
  if (!status.ok()) return status;
  // The extension's records join the generic rows; a damaged one fails the load whole.
  GenericExtension extension;
  status = readGenericExtension(file, extension);
  if (!status.ok()) return status;
  if (rows.size() + extension.records.size() > static_cast<std::size_t>(kMaxDefinitionRows)) {
    return DataFileStatus::failure(DataFileCode::TooManyRows, positionOfAddress(extension.header.end));
  }
  for (ExtensionRecord& record : extension.records) rows.push_back({std::move(record.code), std::move(record.definition)});
  const int generic = static_cast<int>(rows.size());
  // A later choice of "generic" in the window reads the generic section once more and cuts
  // those rows off again: the table holds the generic rows alone.
  if (make.start != kMakeSections[0].start) {
    status = appendSection(file, make, rows);
    if (!status.ok()) return status;
  }
  rows_ = std::move(rows);
  genericCount_ = generic;
  return status;
}

int DefinitionsTable::rowForCode(std::string_view code) const {
  return meaningRow(rowCount(), [&](int row) { return sameIgnoringCase(rows_[static_cast<std::size_t>(row)].code, code); });
}

bool DefinitionsTable::holdsMakerTexts() const {
  for (std::size_t row = static_cast<std::size_t>(genericCount_); row < rows_.size(); ++row) {
    if (isManufacturerRange(rows_[row].code)) return true;
  }
  return false;
}

CodeSearchHit DefinitionsTable::search(std::string_view text) const {
  CodeSearchHit hit;
  if (text.empty()) return hit;
  const auto codeOf = [this](int row) -> const std::string& { return rows_[static_cast<std::size_t>(row)].code; };
  hit.found = firstMatchingRow(rowCount(), [&](int row) { return startsWithIgnoringCase(codeOf(row), text); });
  if (hit.found < 0) return hit;
  hit.meaning = rowForCode(codeOf(hit.found));
  hit.next = nextEntryRow(hit.found, rowCount(), genericCount_,
                          [&](int a, int b) { return sameIgnoringCase(codeOf(a), codeOf(b)); });
  return hit;
}

}  // namespace vx414
