#include "definitions/generic_titles.h"

#include <algorithm>
#include <map>
#include <set>

#include "definitions/code_ranges.h"

namespace vx414 {
namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (upper(c) >= 'A' && upper(c) <= 'F'); }

// A letter P, C, B or U and four hex digits, at the start of `text`.
bool startsWithCode(std::string_view text) {
  if (text.size() < 5) return false;
  const char letter = upper(text[0]);
  if (letter != 'P' && letter != 'C' && letter != 'B' && letter != 'U') return false;
  return std::all_of(text.begin() + 1, text.begin() + 5, isHexDigit);
}

std::string upperCode(std::string_view code) {
  std::string out(code);
  std::transform(out.begin(), out.end(), out.begin(), upper);
  return out;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool startsWithWord(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (upper(text[i]) != upper(word[i])) return false;
  }
  return text.size() == word.size() || text[word.size()] == ' ';
}

}  // namespace

std::optional<std::string> notATitle(std::string_view code, std::string_view title) {
  if (code.size() != 5 || !startsWithCode(code)) return "not a trouble code";
  const std::string_view text = trimmed(title);
  if (text.empty()) return "empty title";
  if (text.size() == 5 && startsWithCode(text)) return "the title is a code, not a title";
  if (startsWithWord(text, "Manufacturer Controlled DTC")) return "a range marker, not a title";
  // "B3000-B3999 ISO/SAE Reserved": a code, a dash and a code open a range's heading.
  if (startsWithCode(text) && text.size() >= 11 && text[5] == '-' && startsWithCode(text.substr(6))) {
    return "a range marker, not a title";
  }
  return std::nullopt;
}

bool isPlaceholderText(std::string_view text) {
  text = trimmed(text);
  if (startsWithWord(text, "ISO/SAE")) text = trimmed(text.substr(7));
  return startsWithWord(text, "Reserved");
}

GenericMerge mergeGenericTitles(const std::vector<SourceRecord>& current, const std::vector<SourceRecord>& titles) {
  GenericMerge merge;
  GenericMergeReport& report = merge.report;
  std::set<std::string> movedOut;

  // Current texts by code, in source order; a code may have more than one.
  std::map<std::string, std::vector<const SourceRecord*>> currentByCode;
  for (const SourceRecord& record : current) {
    const std::string code = upperCode(record.code);
    if (isManufacturerRange(code)) {
      movedOut.insert(code);
      continue;
    }
    currentByCode[code].push_back(&record);
  }
  std::set<std::string> currentCodes;
  for (const SourceRecord& record : current) currentCodes.insert(upperCode(record.code));
  report.currentCodes = static_cast<int>(currentCodes.size());
  report.movedOutOfCurrent = static_cast<int>(movedOut.size());

  std::map<std::string, const SourceRecord*> titleByCode;
  report.titleRows = static_cast<int>(titles.size());
  for (const SourceRecord& row : titles) {
    const std::string code = upperCode(row.code);
    std::optional<std::string> reason = notATitle(code, row.definition);
    if (!reason && titleByCode.count(code) != 0) reason = "a code listed before";
    if (reason) {
      report.dropped.push_back({row.code, row.definition, *reason, row.where});
      continue;
    }
    if (isManufacturerRange(code)) {
      movedOut.insert(code);
      continue;
    }
    titleByCode.emplace(code, &row);
  }

  std::set<std::string> codes;
  for (const auto& entry : currentByCode) codes.insert(entry.first);
  for (const auto& entry : titleByCode) codes.insert(entry.first);
  for (const std::string& code : codes) {
    const auto title = titleByCode.find(code);
    const auto texts = currentByCode.find(code);
    const bool hasTitle = title != titleByCode.end();
    const bool hasCurrent = texts != currentByCode.end();
    bool takeTitle = hasTitle;
    if (hasTitle && hasCurrent) {
      const bool currentNames = std::any_of(texts->second.begin(), texts->second.end(),
                                            [](const SourceRecord* r) { return !isPlaceholderText(r->definition); });
      const bool titleNames = !isPlaceholderText(title->second->definition);
      takeTitle = titleNames || !currentNames;
      if (titleNames && !currentNames) ++report.placeholdersNamed;
    }
    if (takeTitle) {
      merge.records.push_back({code, std::string(trimmed(title->second->definition)), title->second->where});
      ++report.fromTitles;
    } else {
      for (const SourceRecord* record : texts->second) merge.records.push_back({code, record->definition, record->where});
      ++report.fromCurrent;
    }
  }
  report.movedOut.assign(movedOut.begin(), movedOut.end());
  report.mergedCodes = static_cast<int>(codes.size());
  return merge;
}

}  // namespace vx414
