#pragma once
// The make texts of the data file: scantool's sections and the dtc-database set's lists,
// corrected, then merged family by family as the family table says.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/make_corrections.h"
#include "definitions/make_families.h"
#include "definitions/make_merge.h"
#include "definitions/plain_sources.h"
#include "definitions/scantool_codes.h"

namespace vx414 {

// The list id of the generic titles (data/dtc-generic), for corrections.
inline constexpr std::string_view kGenericTitlesList = "generic-titles";
// The list id of scantool's generic section.
inline constexpr std::string_view kScantoolGenericList = "st:Generic";

// Rows left out of each list, by list id, because their code is in a range the standard
// defines (isManufacturerRange is false): the generic section gives those codes their SAE
// title for every make.
using SaeRowsLeftOut = std::map<std::string, int, std::less<>>;

// The data set's "MAKE<TAB>CODE<TAB>TITLE" rows as lists "ds:MAKE". Rows outside the makes'
// ranges repeat generic codes the generic section defines and are counted, not kept.
std::string readDataSetLists(std::string_view text, std::string_view origin, TextListRows& lists, SaeRowsLeftOut& sae);

// scantool's records as lists "st:Make", in database order; as for the data set, a make's
// record outside the makes' ranges is counted, not kept (st:Generic keeps every record).
void addScantoolLists(const std::vector<ScantoolCode>& codes, TextListRows& lists, SaeRowsLeftOut& sae);

struct EntryImport {
  std::string section;  // the section's first entry
  std::string group;
  MakeMergeReport merge;
};

struct MakeTables {
  std::vector<TextList> lists;
  std::vector<FamilyEntry> families;
  std::vector<Correction> corrections;
};

// Reads the make texts' folder: makes.tsv (the data set, into `lists`), lists.tsv,
// families.tsv and corrections.tsv. Returns the error, naming file and line.
std::string readMakeTables(const std::string& folder, TextListRows& lists, MakeTables& tables, SaeRowsLeftOut& sae);

struct MakeImport {
  std::vector<EntryImport> entries;  // file order; entries without sources too
  std::vector<int> touched;          // rows each correction touched
};

// Checks the family table against the lists, applies the corrections to every list, puts
// scantool's corrected generic records in the generic section and merges every make
// section from its sources. The lists are corrected in place (the generic titles among
// them, when given). Returns the error, empty on success.
std::string importMakeTexts(const MakeTables& tables, TextListRows& lists, PlainSources& sources, MakeImport& out);

// Every fault of the finished sections' texts, one a line: codes of one section sharing a
// title that names a wheel, loop or stage, unbalanced curly quotes, and a code a make
// section holds twice with different texts (the section, the code and both texts).
std::vector<std::string> checkSectionTexts(const PlainSources& sources);

}  // namespace vx414
