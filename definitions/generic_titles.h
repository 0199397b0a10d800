#pragma once
// Merging a list of the standard's generic code titles into the generic section's records:
// cleaning the list, leaving the makes' own ranges out, and choosing one text per code.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/plain_sources.h"

namespace vx414 {

struct DroppedTitle {
  std::string code;
  std::string title;
  std::string reason;
  std::string where;
};

struct GenericMergeReport {
  int currentCodes = 0;  // distinct codes of the generic records before the merge
  int titleRows = 0;     // rows of the titles list
  std::vector<DroppedTitle> dropped;  // rows of the list that are no title, with why
  std::vector<std::string> movedOut;  // manufacturer-range codes left out, either source, distinct, sorted
  int movedOutOfCurrent = 0;          // of them, codes the generic records had
  int fromTitles = 0;         // codes whose text comes from the list
  int fromCurrent = 0;        // codes whose text(s) stay as they were
  int placeholdersNamed = 0;  // codes whose "Reserved" text the list names
  int mergedCodes = 0;        // distinct codes after the merge
};

struct GenericMerge {
  std::vector<SourceRecord> records;  // sorted by code; one code's texts in source order
  GenericMergeReport report;
};

// Why a row of the titles list is no title, or nothing when it is one: an empty title, a
// code that is not a letter and four hex digits, a title that is itself a code, a range
// marker ("Manufacturer Controlled DTC", "B3000-B3999 ..."), or a code listed before.
std::optional<std::string> notATitle(std::string_view code, std::string_view title);

// "Reserved", "Reserved by Document", "ISO/SAE Reserved": a text that names nothing.
bool isPlaceholderText(std::string_view text);

// The merge. Manufacturer-range codes leave, whichever source names them. A code that one
// source names keeps that source's text(s). A code both name takes the list's title, the
// standard's current wording, unless that title is a placeholder and a current text is
// not: then the current text(s) stay.
GenericMerge mergeGenericTitles(const std::vector<SourceRecord>& current, const std::vector<SourceRecord>& titles);

}  // namespace vx414
