#pragma once
// Recorded corrections to the lists of code texts, applied at build time: rows that hold
// another maker's meaning leave, wrong or damaged titles are mended. Each correction
// names the lists it applies to, the codes, what it does and why (with its source).

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/plain_sources.h"

namespace vx414 {

// Lists of code records by id ("st:Dodge", "ds:DODGE", "generic-titles").
using TextListRows = std::map<std::string, std::vector<SourceRecord>, std::less<>>;

enum class CorrectionAction {
  Title,           // the row's title becomes `text`
  Drop,            // the row leaves
  Replace,         // every `text` inside the title becomes `with`
  DropContaining,  // the row leaves when its title holds `text`
  DropLike,        // the row leaves when `like`'s lists give its code nearly the same title
  Recode,          // the row whose title holds `text` moves to the code `with`
  Add,             // a row of the one code `first` with the title `text` joins each list
};

struct Correction {
  std::vector<std::string> lists;
  std::string first;  // codes from `first` to `last`, both included; empty: every code
  std::string last;
  CorrectionAction action = CorrectionAction::Drop;
  std::string text;  // Windows-1252
  std::string with;
  std::vector<std::string> like;
  std::string why;
  std::string where;
};

// "LISTS<TAB>CODES<TAB>ACTION<TAB>TEXT<TAB>WHY" lines: LISTS one id or several joined by
// commas; CODES a code, a range "P1404-P1460" or "*"; ACTION title, drop, replace ("OLD=>NEW"),
// drop-containing, drop-like (TEXT the lists compared, joined by commas), recode
// ("WORDS=>P1177": the row whose title holds WORDS takes the code P1177) or add (CODES one
// code, TEXT its title); TEXT "-" where the action needs none. "#" lines are comments.
// Errors read "<origin>:<line>: <what>".
std::string parseCorrections(std::string_view text, std::string_view origin, std::vector<Correction>& out);

// A letter P, C, B or U and four hex digits, in capitals.
bool isTroubleCode(std::string_view code);

// Two titles name the same thing: most of the words of the shorter one (letters and digits,
// without regard to case) are in the other.
bool nearlySameTitle(std::string_view a, std::string_view b);

// Applies the corrections in order and counts the rows each one touched. A correction that
// names a list not given (unless the list is in `mayBeAbsent`, then it is skipped) or that
// touches no row is an error: a correction that no longer applies must leave the table. So
// is an `add` for a code the list already gives, and a `recode` to a code the list gives.
std::string applyCorrections(const std::vector<Correction>& corrections, TextListRows& lists,
                             const std::set<std::string, std::less<>>& mayBeAbsent, std::vector<int>& touched);

}  // namespace vx414
