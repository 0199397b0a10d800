#include "definitions/make_names.h"

namespace vx414 {

std::string makeNameKey(std::string_view name) {
  std::string key;
  key.reserve(name.size());
  for (const char c : name) {
    if (c == ' ' || c == '\t' || c == '-') continue;
    key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return key;
}

namespace {

const MakeSection* entryOf(const MakeAlias& alias) { return findMake(alias.entry); }

}  // namespace

const MakeSection* makeNamed(std::string_view typed) {
  const std::string key = makeNameKey(typed);
  if (key.empty()) return nullptr;
  for (const MakeSection& make : kMakeSections) {
    if (makeNameKey(make.name) == key) return &make;
  }
  for (const MakeAlias& alias : kMakeAliases) {
    if (makeNameKey(alias.alias) == key) return entryOf(alias);
  }
  return nullptr;
}

const MakeSection* makeBeginningWith(std::string_view typed) {
  const std::string key = makeNameKey(typed);
  if (key.empty()) return nullptr;
  for (const MakeSection& make : kMakeSections) {
    if (makeNameKey(make.name).starts_with(key)) return &make;
  }
  for (const MakeAlias& alias : kMakeAliases) {
    if (makeNameKey(alias.alias).starts_with(key)) return entryOf(alias);
  }
  return nullptr;
}

std::vector<std::string_view> otherNamesOf(const MakeSection& entry) {
  std::vector<std::string_view> names;
  for (const MakeAlias& alias : kMakeAliases) {
    if (entryOf(alias) == &entry) names.push_back(alias.alias);
  }
  return names;
}

}  // namespace vx414
