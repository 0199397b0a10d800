#include "definitions/make_names.h"

#include <gtest/gtest.h>

#include <string>

namespace vx414 {
namespace {

std::string nameOf(const MakeSection* make) { return make == nullptr ? "(none)" : std::string(make->name); }

TEST(MakeNames, EveryAliasNamesAnEntryAndNoEntryIsShadowed) {
  for (const MakeAlias& alias : kMakeAliases) {
    SCOPED_TRACE(std::string(alias.alias));
    ASSERT_NE(findMake(alias.entry), nullptr);
    EXPECT_EQ(makeNamed(alias.alias), findMake(alias.entry));
    for (const MakeSection& make : kMakeSections) EXPECT_NE(makeNameKey(make.name), makeNameKey(alias.alias));
  }
  // Two entries that read alike once case, blanks and hyphens are gone would make a name
  // ambiguous.
  for (std::size_t i = 0; i < kMakeSections.size(); ++i)
    for (std::size_t j = i + 1; j < kMakeSections.size(); ++j)
      EXPECT_NE(makeNameKey(kMakeSections[i].name), makeNameKey(kMakeSections[j].name)) << kMakeSections[i].name;
}

TEST(MakeNames, ANameAsTypedFindsItsEntry) {
  const struct {
    std::string_view typed;
    const char* entry;  // "(none)" when it names none
  } cases[] = {
      // the list's own names, case, blanks and hyphens aside
      {"ford", "ford"},
      {"FORD", "ford"},
      {"Land Rover", "land rover"},
      {"landrover", "land rover"},
      {"  land   rover ", "land rover"},
      {"Mercedes Benz", "mercedes-benz"},
      {"MERCEDES-BENZ", "mercedes-benz"},
      {"Smart Smart City", "smart smart city"},
      {"mini", "mini"},
      // the names people use
      {"vw", "volkswagen"},
      {"VW", "volkswagen"},
      {"mercedes", "mercedes-benz"},
      {"seat", "seat alhambra"},
      {"smart", "smart smart city"},
      {"Mini Cooper", "mini"},
      {"range rover", "land rover"},
      {"RangeRover", "land rover"},
      {"chevy", "chevrolet"},
      {"Alfa", "alfa romeo"},
      {"dacia", "dacia logan"},
      {"daewoo", "daewoo"},  // an entry of its own, not the Nubira's
      {"daewoo nubira", "deawoo nubira"},
      // a name must be whole: beginnings, unknown makes and nothing name none
      {"volks", "(none)"},
      {"merc", "(none)"},
      {"tesla", "(none)"},
      {"", "(none)"},
      {"  ", "(none)"},
      {"v w x", "(none)"},
  };
  for (const auto& c : cases) EXPECT_EQ(nameOf(makeNamed(c.typed)), c.entry) << '"' << c.typed << '"';
}

TEST(MakeNames, WhatIsTypedInTheMakeBoxPicksTheFirstEntryThatBeginsSo) {
  const struct {
    std::string_view typed;
    const char* entry;
  } cases[] = {
      {"v", "vauxhall"},          // the list's order
      {"vo", "volkswagen"},
      {"vw", "volkswagen"},       // no entry begins so: the alias
      {"chev", "chevrolet"},
      {"chevy", "chevrolet"},
      {"merc", "mercedes-benz"},  // before mercury in the list
      {"mercu", "mercury"},
      {"ra", "land rover"},       // "range rover"
      {"Land R", "land rover"},
      {"landr", "land rover"},
      {"minic", "mini"},
      {"se", "seat alhambra"},
      {"SM", "smart smart city"},
      {"x", "(none)"},
      {"vwx", "(none)"},
      {"", "(none)"},
      {" ", "(none)"},
  };
  for (const auto& c : cases) EXPECT_EQ(nameOf(makeBeginningWith(c.typed)), c.entry) << '"' << c.typed << '"';

  EXPECT_EQ(otherNamesOf(*findMake("land rover")), (std::vector<std::string_view>{"range rover"}));
  EXPECT_EQ(otherNamesOf(*findMake("smart smart city")), (std::vector<std::string_view>{"smart"}));
  EXPECT_TRUE(otherNamesOf(*findMake("ford")).empty());
}

}  // namespace
}  // namespace vx414
