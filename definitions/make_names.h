#pragma once
// The names people type for a make: the make list's own names with case, blanks and hyphens
// ignored ("Land Rover", "landrover", "Mercedes Benz"), and the short or everyday names the
// list does not hold ("vw", "chevy", "range rover"), each mapped to an entry of the list.
// One table for vx414-read's --make (and through its --help, the bash completion) and for
// typing in the window's make box; the list itself keeps its 67 entries.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/make_sections.h"

namespace vx414 {

struct MakeAlias {
  std::string_view alias;  // lower case, as people write it
  std::string_view entry;  // the make list's entry it names, as the list spells it
};

// Everyday brand names first, then the first word of each entry that carries a model in its
// name ("dacia logan"): people type the brand. "deawoo nubira" is the list's own spelling;
// "daewoo nubira" reaches it. An alias never equals an entry's name (make_names_test), so
// a name always means the entry it spells.
inline constexpr std::array<MakeAlias, 19> kMakeAliases{{
    {"alfa", "alfa romeo"},
    {"chevy", "chevrolet"},
    {"range rover", "land rover"},
    {"mercedes", "mercedes-benz"},
    {"mini cooper", "mini"},
    {"seat", "seat alhambra"},
    {"smart", "smart smart city"},
    {"vw", "volkswagen"},
    {"dacia", "dacia logan"},
    {"daihatsu", "daihatsu copen"},
    {"daewoo nubira", "deawoo nubira"},
    {"iveco", "iveco daily"},
    {"lada", "lada samara"},
    {"lancia", "lancia lybra"},
    {"ldv", "ldv convoy"},
    {"perodua", "perodua nippa"},
    {"piaggio", "piaggio hi-jet"},
    {"proton", "proton persona compact"},
    {"ssangyong", "ssangyong rexton"},
}};

// The form names are compared in: lower case, without blanks (spaces, tabs) and hyphens.
std::string makeNameKey(std::string_view name);

// The entry `typed` names in full: an entry's name or an alias, compared by makeNameKey;
// nullptr when it names none (an empty text names none).
const MakeSection* makeNamed(std::string_view typed);

// The entry the beginning typed so far picks in the make box: the first entry (in the
// list's order) whose name begins with it, else the entry of the first alias that does;
// compared by makeNameKey. nullptr when none does or nothing but blanks was typed.
const MakeSection* makeBeginningWith(std::string_view typed);

// The aliases of an entry, in the table's order.
std::vector<std::string_view> otherNamesOf(const MakeSection& entry);

}  // namespace vx414
