#include "definitions/make_merge.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace vx414 {
namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool endsWithWord(const std::string& text, std::string_view word) {
  return text.size() > word.size() && text.compare(text.size() - word.size(), word.size(), word) == 0 &&
         text[text.size() - word.size() - 1] == ' ';
}

bool hasWord(const std::string& lowered, std::string_view stem) {
  for (std::size_t at = lowered.find(stem); at != std::string::npos; at = lowered.find(stem, at + 1)) {
    if (at == 0 || !std::isalpha(static_cast<unsigned char>(lowered[at - 1]))) return true;
  }
  return false;
}

}  // namespace

bool isMakePlaceholder(std::string_view text) {
  const std::string t = lower(trimmed(text));
  return endsWithWord(t, "problems") || endsWithWord(t, "concerns") || t == "sbds interactive codes" ||
         t == "automatic transaxle";
}

MakeMerge mergeMakeTexts(const RankedLists& lists) {
  MakeMerge merge;
  // Per code, per list (trust order), that list's distinct texts in its order.
  std::map<std::string, std::vector<std::vector<const SourceRecord*>>> byCode;
  for (std::size_t i = 0; i < lists.size(); ++i) {
    merge.report.sources.push_back({lists[i].first, static_cast<int>(lists[i].second->size()), 0});
    for (const SourceRecord& record : *lists[i].second) {
      auto& perList = byCode[upper(record.code)];
      perList.resize(lists.size());
      auto& texts = perList[i];
      const bool repeated = std::any_of(texts.begin(), texts.end(), [&record](const SourceRecord* r) {
        return trimmed(r->definition) == trimmed(record.definition);
      });
      if (!repeated) texts.push_back(&record);
    }
  }
  for (const auto& [code, perList] : byCode) {
    ++merge.report.codes;
    std::size_t chosen = perList.size();
    bool real = false;
    for (std::size_t i = 0; i < perList.size() && !real; ++i) {
      real = std::any_of(perList[i].begin(), perList[i].end(),
                         [](const SourceRecord* r) { return !isMakePlaceholder(r->definition); });
      if (real || (chosen == perList.size() && !perList[i].empty())) chosen = i;
    }
    bool placeholderBefore = false;
    for (std::size_t i = 0; i < chosen; ++i) placeholderBefore = placeholderBefore || !perList[i].empty();
    if (real && placeholderBefore) ++merge.report.placeholdersReplaced;
    if (!real) ++merge.report.placeholdersKept;
    for (const SourceRecord* record : perList[chosen]) {
      if (real == isMakePlaceholder(record->definition)) continue;
      merge.records.push_back({code, std::string(trimmed(record->definition)), record->where});
      ++merge.report.sources[chosen].taken;
      if (!real) break;  // one placeholder is enough
    }
  }
  return merge;
}

std::vector<std::string> sharedPositionTitles(const std::vector<SourceRecord>& records) {
  std::map<std::string, std::set<std::string>> codesByTitle;
  for (const SourceRecord& record : records) {
    const std::string title = lower(trimmed(record.definition));
    if (hasWord(title, "wheel") || hasWord(title, "tire") || hasWord(title, "tyre") || hasWord(title, "loop") ||
        hasWord(title, "stage")) {
      codesByTitle[title].insert(upper(record.code));
    }
  }
  std::vector<std::string> shared;
  for (const auto& [title, codes] : codesByTitle) {
    if (codes.size() < 2) continue;
    std::string line;
    for (const std::string& code : codes) line += (line.empty() ? "" : ", ") + code;
    shared.push_back(line + ": \"" + title + "\"");
  }
  return shared;
}

std::vector<std::string> repeatedCodes(const std::vector<SourceRecord>& records) {
  std::map<std::string, std::vector<std::string>> textsByCode;
  for (const SourceRecord& record : records) {
    std::vector<std::string>& texts = textsByCode[upper(record.code)];
    const std::string text(trimmed(record.definition));
    const bool known = std::any_of(texts.begin(), texts.end(),
                                   [&text](const std::string& t) { return t == text; });
    if (!known) texts.push_back(text);
  }
  std::vector<std::string> repeated;
  for (const auto& [code, texts] : textsByCode) {
    if (texts.size() < 2) continue;
    std::string line = code + ":";
    for (std::size_t i = 0; i < texts.size(); ++i) line += (i == 0 ? " \"" : " | \"") + texts[i] + "\"";
    repeated.push_back(line);
  }
  return repeated;
}

std::vector<std::string> unbalancedQuotes(const std::vector<SourceRecord>& records) {
  std::vector<std::string> faults;
  for (const SourceRecord& record : records) {
    int depth = 0;
    bool balanced = true;
    for (char c : record.definition) {
      if (c == '\x93') ++depth;
      if (c == '\x94' && --depth < 0) balanced = false;
    }
    if (!balanced || depth != 0) faults.push_back(record.code + ": " + record.definition);
  }
  return faults;
}

}  // namespace vx414
