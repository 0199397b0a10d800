#pragma once
// Where the definition shown for a code comes from, and what is said in its place when the
// data file cannot hold one: a maker's own code with no make chosen, or with a make whose
// section holds no maker texts at all. Without it a user could not tell "this make has no
// texts here" from "this code is unknown".

#include <string>
#include <string_view>

#include "definitions/definitions_table.h"

namespace vx414 {

// The source of a code's meaning as the exports name it.
inline constexpr std::string_view kGenericSource = "generic";

// The words said in place of a missing definition, or "" when the code is simply not in
// the file (a generic code, or a maker's code the make's texts lack). `make` is the make
// list's entry; `makeIsGeneric` true when it shares the generic section.
std::string missingMeaningNote(std::string_view make, bool makeIsGeneric, bool makeHasTexts, std::string_view code);

// A code's meaning for the make a table was loaded with, by the one rule (meaningRow).
struct CodeMeaning {
  int row = -1;             // the table's row; -1 when no row holds the code
  std::string_view source;  // kGenericSource, the make's name, or empty when none
  std::string note;         // for row -1: missingMeaningNote
};
CodeMeaning meaningOf(const DefinitionsTable& table, std::string_view make, std::string_view code);

}  // namespace vx414
