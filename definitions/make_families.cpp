#include "definitions/make_families.h"

#include <map>
#include <set>

#include "definitions/make_sections.h"
#include "definitions/text_lines.h"

namespace vx414 {

std::string parseTextLists(std::string_view text, std::string_view origin, std::vector<TextList>& out) {
  return forEachTableRow(text, origin, 3, [&out](std::vector<std::string> f, const std::string& where) -> std::string {
    out.push_back({std::move(f[0]), std::move(f[1]), std::move(f[2]), where});
    return {};
  });
}

std::string parseFamilies(std::string_view text, std::string_view origin, std::vector<FamilyEntry>& out) {
  return forEachTableRow(text, origin, 4, [&out](std::vector<std::string> f, const std::string& where) -> std::string {
    std::vector<std::string> sources;
    if (f[2] != "-") {
      sources = splitAt(f[2], ',');
      for (const std::string& source : sources) {
        if (source.empty()) return where + ": an empty source in \"" + f[2] + "\"";
      }
    }
    out.push_back({std::move(f[0]), std::move(f[1]), std::move(sources), std::move(f[3]), where});
    return {};
  });
}

std::vector<std::string> checkFamilies(const std::vector<FamilyEntry>& families, const std::vector<TextList>& lists) {
  std::vector<std::string> problems;
  std::map<std::string, const TextList*> listById;
  for (const TextList& list : lists) {
    if (!listById.emplace(list.id, &list).second) problems.push_back(list.where + ": list " + list.id + " listed twice");
  }
  std::map<std::string, const FamilyEntry*> byEntry;
  for (const FamilyEntry& family : families) {
    const MakeSection* make = findMake(family.entry);
    if (make == nullptr || make == &kMakeSections[0]) {
      problems.push_back(family.where + ": \"" + family.entry + "\" is no make of the make list");
      continue;
    }
    if (!byEntry.emplace(std::string(make->name), &family).second) {
      problems.push_back(family.where + ": \"" + family.entry + "\" listed twice");
    }
    if (family.group == "none" && !family.sources.empty()) {
      problems.push_back(family.where + ": " + family.entry + " is of group none but has sources");
    }
    if (family.group != "none" && family.sources.empty()) {
      problems.push_back(family.where + ": " + family.entry + " has no sources; its group must be none");
    }
    std::set<std::string> seen;
    for (const std::string& source : family.sources) {
      if (!seen.insert(source).second) problems.push_back(family.where + ": " + source + " named twice");
      const auto list = listById.find(source);
      if (list == listById.end()) {
        problems.push_back(family.where + ": " + source + " is no known list");
      } else if (list->second->group != family.group) {
        problems.push_back(family.where + ": " + family.entry + " (group " + family.group + ") would mix in " +
                           source + " of group " + list->second->group);
      }
    }
  }
  for (std::size_t i = 1; i < kMakeSections.size(); ++i) {
    if (byEntry.count(std::string(kMakeSections[i].name)) == 0) {
      problems.push_back("no family entry for \"" + std::string(kMakeSections[i].name) + "\"");
    }
  }
  // Entries of one section load the same records, so they must name the same sources.
  for (std::size_t i = 1; i < kMakeSections.size(); ++i) {
    for (std::size_t j = i + 1; j < kMakeSections.size(); ++j) {
      if (kMakeSections[i].start != kMakeSections[j].start) continue;
      const auto a = byEntry.find(std::string(kMakeSections[i].name));
      const auto b = byEntry.find(std::string(kMakeSections[j].name));
      if (a == byEntry.end() || b == byEntry.end()) continue;
      if (a->second->sources != b->second->sources) {
        problems.push_back(b->second->where + ": " + b->first + " shares its section with " + a->first +
                           " but names other sources");
      }
    }
  }
  return problems;
}

}  // namespace vx414
