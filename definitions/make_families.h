#pragma once
// Which lists of make texts feed each entry of the make list: the family table and the
// table of lists, each list with the maker group whose meanings it holds.

#include <string>
#include <string_view>
#include <vector>

namespace vx414 {

// One list of make texts: "st:Dodge" (a make of scantool's database), "ds:DODGE" (a maker
// of the dtc-database set), and the group whose meanings its rows hold once corrected.
struct TextList {
  std::string id;
  std::string group;  // "gm", "chrysler", ...; "none" for a list no make may use
  std::string note;
  std::string where;
};

// One entry of the make list and its sources, most trusted first. An entry without
// sources (group "none") keeps no make texts.
struct FamilyEntry {
  std::string entry;
  std::string group;
  std::vector<std::string> sources;
  std::string reason;
  std::string where;
};

// "ID<TAB>GROUP<TAB>NOTE" lines; "#" lines are comments. Errors read "<origin>:<line>: <what>".
std::string parseTextLists(std::string_view text, std::string_view origin, std::vector<TextList>& out);
// "ENTRY<TAB>GROUP<TAB>SOURCE,SOURCE,...<TAB>REASON" lines ("-" for no sources); "#" lines
// are comments.
std::string parseFamilies(std::string_view text, std::string_view origin, std::vector<FamilyEntry>& out);

// Every problem of the two tables together, one a line, or an empty list: an entry that is
// not in the make list or is listed twice, a make of the list without an entry, a source
// that is no known list, a source of another group than its entry's (a section would mix
// two groups), a list of group "none" used, an entry of group "none" with sources, and
// entries sharing one section with different sources.
std::vector<std::string> checkFamilies(const std::vector<FamilyEntry>& families, const std::vector<TextList>& lists);

}  // namespace vx414
