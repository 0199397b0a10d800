#include "definitions/code_meaning.h"

#include "definitions/code_ranges.h"
#include "definitions/make_sections.h"

namespace vx414 {

std::string missingMeaningNote(std::string_view make, bool makeIsGeneric, bool makeHasTexts, std::string_view code) {
  if (!isManufacturerRange(code)) return {};
  if (makeIsGeneric) return "manufacturer-specific: choose the make";
  if (makeHasTexts) return {};
  return "no maker texts for " + std::string(make) + " in this data file; the code is the maker's own";
}

CodeMeaning meaningOf(const DefinitionsTable& table, std::string_view make, std::string_view code) {
  CodeMeaning meaning;
  meaning.row = table.rowForCode(code);
  if (meaning.row >= 0) {
    meaning.source = meaning.row < table.genericCount() ? kGenericSource : make;
    return meaning;
  }
  const MakeSection* section = findMake(make);
  const bool generic = section == nullptr || section->start == kMakeSections[0].start;
  meaning.note = missingMeaningNote(make, generic, table.holdsMakerTexts(), code);
  return meaning;
}

}  // namespace vx414
