#include "definitions/make_corrections.h"

#include <algorithm>
#include <cctype>

#include "definitions/codepage.h"
#include "definitions/text_lines.h"

namespace vx414 {

bool isTroubleCode(std::string_view code) {
  if (code.size() != 5) return false;
  if (code[0] != 'P' && code[0] != 'C' && code[0] != 'B' && code[0] != 'U') return false;
  return std::all_of(code.begin() + 1, code.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'); });
}

namespace {

std::string upperCode(std::string_view code) {
  std::string out(code);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool covers(const Correction& c, std::string_view code) {
  if (c.first.empty()) return true;
  const std::string upper = upperCode(code);
  return !upper.empty() && upper[0] == c.first[0] && c.first <= upper && upper <= c.last;
}

std::set<std::string> wordsOf(std::string_view text) {
  std::set<std::string> words;
  std::string word;
  for (char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (!word.empty()) {
      words.insert(std::move(word));
      word.clear();
    }
  }
  if (!word.empty()) words.insert(std::move(word));
  return words;
}

std::string parseAction(std::string_view name, std::string_view text, Correction& c) {
  static const std::map<std::string_view, CorrectionAction> kActions{
      {"title", CorrectionAction::Title},
      {"drop", CorrectionAction::Drop},
      {"replace", CorrectionAction::Replace},
      {"drop-containing", CorrectionAction::DropContaining},
      {"drop-like", CorrectionAction::DropLike},
      {"recode", CorrectionAction::Recode},
      {"add", CorrectionAction::Add}};
  const auto action = kActions.find(name);
  if (action == kActions.end()) return "unknown action \"" + std::string(name) + "\"";
  c.action = action->second;
  const bool needsText = c.action != CorrectionAction::Drop;
  if (needsText == (text == "-")) return needsText ? "the action needs a text" : "drop takes no text (\"-\")";
  if (c.action == CorrectionAction::DropLike) {
    c.like = splitAt(text, ',');
    return {};
  }
  std::string bytes;
  if (needsText) {
    std::optional<std::string> converted = utf8ToWindows1252(text);
    if (!converted) return "text is not UTF-8 of Windows-1252 characters";
    bytes = std::move(*converted);
  }
  if (c.action == CorrectionAction::Replace || c.action == CorrectionAction::Recode) {
    const std::size_t arrow = bytes.find("=>");
    const bool replace = c.action == CorrectionAction::Replace;
    if (arrow == std::string::npos || arrow == 0) return replace ? "replace needs \"OLD=>NEW\"" : "recode needs \"WORDS=>CODE\"";
    c.text = bytes.substr(0, arrow);
    c.with = bytes.substr(arrow + 2);
    if (!replace && !isTroubleCode(c.with)) return "recode: \"" + c.with + "\" is no code";
    return {};
  }
  c.text = std::move(bytes);
  return {};
}

}  // namespace

std::string parseCorrections(std::string_view text, std::string_view origin, std::vector<Correction>& out) {
  return forEachTableRow(text, origin, 5, [&out](std::vector<std::string> f, const std::string& where) -> std::string {
    Correction c;
    c.lists = splitAt(f[0], ',');
    if (f[1] != "*") {
      const std::size_t dash = f[1].find('-');
      c.first = f[1].substr(0, dash);
      c.last = dash == std::string::npos ? c.first : f[1].substr(dash + 1);
      if (!isTroubleCode(c.first) || !isTroubleCode(c.last) || c.first[0] != c.last[0] || c.last < c.first) {
        return where + ": \"" + f[1] + "\" is no code, range of codes or \"*\"";
      }
    }
    if (std::string error = parseAction(f[2], f[3], c); !error.empty()) return where + ": " + error;
    if (c.action == CorrectionAction::Add && (c.first.empty() || c.first != c.last)) {
      return where + ": add takes one code";
    }
    c.why = std::move(f[4]);
    c.where = where;
    out.push_back(std::move(c));
    return {};
  });
}

bool nearlySameTitle(std::string_view a, std::string_view b) {
  const std::set<std::string> wa = wordsOf(a);
  const std::set<std::string> wb = wordsOf(b);
  if (wa.empty() || wb.empty()) return false;
  std::size_t shared = 0;
  for (const std::string& word : wa) shared += wb.count(word);
  // Six in ten of the shorter title's words: "Fan Secondary High With Fan(s) Off" is
  // "Fan Secondary High with Fans Off", "Rotor Sensor Fault" is not "Cam Sensor Fault".
  return shared * 10 >= std::min(wa.size(), wb.size()) * 6;
}

std::string applyCorrections(const std::vector<Correction>& corrections, TextListRows& lists,
                             const std::set<std::string, std::less<>>& mayBeAbsent, std::vector<int>& touched) {
  touched.assign(corrections.size(), 0);
  for (std::size_t i = 0; i < corrections.size(); ++i) {
    const Correction& c = corrections[i];
    bool anyList = false;
    for (const std::string& id : c.lists) {
      const auto list = lists.find(id);
      if (list == lists.end()) {
        if (mayBeAbsent.count(id) != 0) continue;
        return c.where + ": no list " + id;
      }
      anyList = true;
      std::vector<const SourceRecord*> compared;
      for (const std::string& other : c.like) {
        const auto rows = lists.find(other);
        if (rows == lists.end()) return c.where + ": no list " + other;
        for (const SourceRecord& r : rows->second) compared.push_back(&r);
      }
      if (c.action == CorrectionAction::Add) {
        const bool given = std::any_of(list->second.begin(), list->second.end(),
                                       [&c](const SourceRecord& r) { return sameIgnoringCase(r.code, c.first); });
        if (given) return c.where + ": " + id + " already gives " + c.first;
        list->second.push_back({c.first, c.text, c.where});
        ++touched[i];
        continue;
      }
      if (c.action == CorrectionAction::Recode) {
        const bool given = std::any_of(list->second.begin(), list->second.end(),
                                       [&c](const SourceRecord& r) { return sameIgnoringCase(r.code, c.with); });
        if (given) return c.where + ": " + id + " already gives " + c.with;
      }
      std::vector<SourceRecord> kept;
      for (SourceRecord& row : list->second) {
        if (!covers(c, row.code)) {
          kept.push_back(std::move(row));
          continue;
        }
        bool drop = false;
        bool changed = false;
        switch (c.action) {
          case CorrectionAction::Title:
            changed = row.definition != c.text;
            row.definition = c.text;
            break;
          case CorrectionAction::Drop:
            drop = true;
            break;
          case CorrectionAction::Replace:
            for (std::size_t at = row.definition.find(c.text); at != std::string::npos;
                 at = row.definition.find(c.text, at + c.with.size())) {
              row.definition.replace(at, c.text.size(), c.with);
              changed = true;
            }
            break;
          case CorrectionAction::DropContaining:
            drop = row.definition.find(c.text) != std::string::npos;
            break;
          case CorrectionAction::DropLike:
            drop = std::any_of(compared.begin(), compared.end(), [&row](const SourceRecord* other) {
              return sameIgnoringCase(other->code, row.code) && nearlySameTitle(other->definition, row.definition);
            });
            break;
          case CorrectionAction::Recode:
            changed = row.definition.find(c.text) != std::string::npos;
            if (changed) row.code = c.with;
            break;
          case CorrectionAction::Add:
            break;
        }
        if (drop || changed) ++touched[i];
        if (!drop) kept.push_back(std::move(row));
      }
      list->second = std::move(kept);
    }
    if (anyList && touched[i] == 0) return c.where + ": the correction touches no row";
  }
  return {};
}

}  // namespace vx414
