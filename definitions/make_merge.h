#pragma once
// One make section's records from its family's lists, most trusted first, and the checks
// every section's texts must pass.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "definitions/plain_sources.h"

namespace vx414 {

// A text that names no fault of its own, only the system it lies in: "Transmission system
// problems", "Automatic Transaxle Concerns", "Automatic Transaxle", "SBDS Interactive Codes".
bool isMakePlaceholder(std::string_view text);

struct SourceUse {
  std::string list;
  int offered = 0;  // the list's rows
  int taken = 0;    // of them, rows the section keeps
};

struct MakeMergeReport {
  std::vector<SourceUse> sources;  // in trust order
  int codes = 0;
  int placeholdersKept = 0;      // codes left with a placeholder: nothing better exists
  int placeholdersReplaced = 0;  // codes whose placeholder a less trusted list names
};

struct MakeMerge {
  std::vector<SourceRecord> records;  // sorted by code
  MakeMergeReport report;
};

using RankedLists = std::vector<std::pair<std::string, const std::vector<SourceRecord>*>>;

// For each code, the texts of the most trusted list that gives it a real title (all of
// them, when that list has two); a placeholder never replaces a real title and stays only
// when no list has better, then the most trusted list's.
MakeMerge mergeMakeTexts(const RankedLists& lists);

// "C0750, C0755: ..." for every group of codes of one section that share one title naming
// a wheel, a tyre, a loop or a stage: the title must say which.
std::vector<std::string> sharedPositionTitles(const std::vector<SourceRecord>& records);

// "P1176: \"ETS Motor Open/Short #1\" | \"ETS Motor Open/Short #2\"" for every code a section
// holds more than once with different texts (trimmed; a difference of case is one too): a make gives
// one code one meaning, and the corrections must say which.
std::vector<std::string> repeatedCodes(const std::vector<SourceRecord>& records);

// "P0D2D: ..." for every record whose curly quotes (Windows-1252 0x93 and 0x94) do not pair up.
std::vector<std::string> unbalancedQuotes(const std::vector<SourceRecord>& records);

}  // namespace vx414
