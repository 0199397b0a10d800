#include "definitions/make_import.h"

#include "definitions/code_ranges.h"
#include "definitions/codepage.h"
#include "definitions/make_sections.h"
#include "definitions/text_lines.h"

namespace vx414 {

std::string readDataSetLists(std::string_view text, std::string_view origin, TextListRows& lists, SaeRowsLeftOut& sae) {
  return forEachTableRow(text, origin, 3, [&](std::vector<std::string> f, const std::string& where) -> std::string {
    std::optional<std::string> title = utf8ToWindows1252(f[2]);
    if (!title) return where + ": title is not UTF-8 of Windows-1252 characters";
    if (!isTroubleCode(f[1])) return where + ": \"" + f[1] + "\" is no trouble code";
    if (!isManufacturerRange(f[1])) {
      ++sae["ds:" + f[0]];
      return {};
    }
    lists["ds:" + f[0]].push_back({std::move(f[1]), std::move(*title), where});
    return {};
  });
}

void addScantoolLists(const std::vector<ScantoolCode>& codes, TextListRows& lists, SaeRowsLeftOut& sae) {
  for (const ScantoolCode& code : codes) {
    const std::string id = "st:" + code.make;
    if (id != kScantoolGenericList && !isManufacturerRange(code.code)) {
      ++sae[id];
      continue;
    }
    lists[id].push_back({code.code, code.description, code.where});
  }
}

std::string readMakeTables(const std::string& folder, TextListRows& lists, MakeTables& tables, SaeRowsLeftOut& sae) {
  std::string text;
  const std::string makes = folder + "/makes.tsv";
  if (std::string error = readWholeFile(makes, text); !error.empty()) return error;
  if (std::string error = readDataSetLists(text, makes, lists, sae); !error.empty()) return error;
  const std::string listsFile = folder + "/lists.tsv";
  if (std::string error = readWholeFile(listsFile, text); !error.empty()) return error;
  if (std::string error = parseTextLists(text, listsFile, tables.lists); !error.empty()) return error;
  const std::string families = folder + "/families.tsv";
  if (std::string error = readWholeFile(families, text); !error.empty()) return error;
  if (std::string error = parseFamilies(text, families, tables.families); !error.empty()) return error;
  const std::string corrections = folder + "/corrections.tsv";
  if (std::string error = readWholeFile(corrections, text); !error.empty()) return error;
  return parseCorrections(text, corrections, tables.corrections);
}

std::string importMakeTexts(const MakeTables& tables, TextListRows& lists, PlainSources& sources, MakeImport& out) {
  if (std::vector<std::string> problems = checkFamilies(tables.families, tables.lists); !problems.empty()) {
    std::string message = "the family table:";
    for (const std::string& problem : problems) message += "\n  " + problem;
    return message;
  }
  for (const TextList& list : tables.lists) {
    if (list.group != "none" && lists.count(list.id) == 0) return list.where + ": no rows for list " + list.id;
  }
  const std::set<std::string, std::less<>> mayBeAbsent{std::string(kGenericTitlesList)};
  if (std::string error = applyCorrections(tables.corrections, lists, mayBeAbsent, out.touched); !error.empty()) {
    return error;
  }
  sources.sections.clear();
  if (const auto generic = lists.find(kScantoolGenericList); generic != lists.end()) {
    sources.sections["generic"] = generic->second;
  }
  for (const MakeSection& section : distinctSections()) {
    if (section.name == "generic") continue;
    const FamilyEntry* family = nullptr;
    for (const FamilyEntry& f : tables.families) {
      if (equalsIgnoringCase(f.entry, section.name)) family = &f;
    }
    if (family == nullptr) return "no family entry for " + std::string(section.name);
    EntryImport entry{std::string(section.name), family->group, {}};
    if (!family->sources.empty()) {
      RankedLists ranked;
      for (const std::string& id : family->sources) ranked.emplace_back(id, &lists.at(id));
      MakeMerge merged = mergeMakeTexts(ranked);
      entry.merge = std::move(merged.report);
      sources.sections[entry.section] = std::move(merged.records);
    }
    out.entries.push_back(std::move(entry));
  }
  return {};
}

std::vector<std::string> checkSectionTexts(const PlainSources& sources) {
  std::vector<std::string> faults;
  for (const auto& [section, records] : sources.sections) {
    for (const std::string& shared : sharedPositionTitles(records)) {
      faults.push_back(section + ": one title for several codes: " + shared);
    }
    for (const std::string& quotes : unbalancedQuotes(records)) {
      faults.push_back(section + ": unbalanced quotes: " + windows1252ToUtf8(quotes));
    }
    for (const std::string& repeated : repeatedCodes(records)) {
      faults.push_back(section + ": one code, two meanings (say in corrections.tsv which wins and why): " +
                       windows1252ToUtf8(repeated));
    }
  }
  return faults;
}

}  // namespace vx414
