#include "definitions/make_sections.h"

#include <algorithm>

namespace vx414 {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

const MakeSection* findMake(std::string_view name) {
  for (const MakeSection& make : kMakeSections) {
    if (equalsIgnoringCase(make.name, name)) return &make;
  }
  return nullptr;
}

const MakeSection& makeSectionFor(std::string_view vehicle) {
  const MakeSection* make = findMake(vehicle);
  return make != nullptr ? *make : kMakeSections[0];
}

SectionBounds cartypeselect(std::string_view vehicle) {
  const MakeSection& section = makeSectionFor(vehicle);
  return {positionOfAddress(section.start), positionOfAddress(section.end)};
}

std::vector<MakeSection> distinctSections() {
  std::vector<MakeSection> sections;
  for (const MakeSection& section : kMakeSections) {
    if (sections.empty() || sections.back().start != section.start) sections.push_back(section);
  }
  return sections;
}

}  // namespace vx414
