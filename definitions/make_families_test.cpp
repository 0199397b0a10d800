#include "definitions/make_families.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>

#include "definitions/make_sections.h"
#include "definitions/plain_sources.h"

namespace vx414 {
namespace {

std::string sourceFolder() {
  const char* folder = std::getenv("VX414_SOURCE_DIR");
  return std::string(folder != nullptr ? folder : ".") + "/data/dtc-makes/";
}

struct ShippedTables {
  std::vector<TextList> lists;
  std::vector<FamilyEntry> families;
};

ShippedTables shippedTables() {
  ShippedTables t;
  std::string text;
  EXPECT_EQ(readWholeFile(sourceFolder() + "lists.tsv", text), "");
  EXPECT_EQ(parseTextLists(text, "lists.tsv", t.lists), "");
  EXPECT_EQ(readWholeFile(sourceFolder() + "families.tsv", text), "");
  EXPECT_EQ(parseFamilies(text, "families.tsv", t.families), "");
  return t;
}

// The shipped family table: all 66 entries, each drawing on one group only, and the
// families a mechanic relies on.
TEST(MakeFamilies, ShippedTable) {
  const ShippedTables t = shippedTables();
  EXPECT_EQ(checkFamilies(t.families, t.lists), std::vector<std::string>{});
  ASSERT_EQ(t.families.size(), kMakeSections.size() - 1);

  std::map<std::string, const FamilyEntry*> byEntry;
  for (const FamilyEntry& f : t.families) byEntry[f.entry] = &f;
  std::map<std::string, std::string> groupOfList;
  for (const TextList& l : t.lists) groupOfList[l.id] = l.group;
  const struct {
    const char* entry;
    const char* group;
  } cases[] = {
      {"chrysler", "chrysler"}, {"dodge", "chrysler"},  {"jeep", "chrysler"},     {"plymouth", "chrysler"},
      {"buick", "gm"},          {"cadillac", "gm"},     {"chevrolet", "gm"},      {"gmc", "gm"},
      {"oldsmobile", "gm"},     {"pontiac", "gm"},      {"saturn", "gm"},         {"general motors", "gm"},
      {"ford", "ford"},         {"lincoln", "ford"},    {"mercury", "ford"},      {"audi", "vag"},
      {"volkswagen", "vag"},    {"seat alhambra", "vag"}, {"skoda", "vag"},       {"acura", "honda"},
      {"infiniti", "nissan"},   {"lexus", "toyota"},    {"opel", "none"},         {"vauxhall", "none"},
      {"saab", "none"},         {"mini", "none"},       {"mmc", "none"},          {"fortwo", "none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry);
    ASSERT_EQ(byEntry.count(c.entry), 1u);
    const FamilyEntry& f = *byEntry[c.entry];
    EXPECT_EQ(f.group, c.group);
    for (const std::string& source : f.sources) EXPECT_EQ(groupOfList[source], c.group) << source;
  }
  // scantool's "Chrysler" section is GM's: it reaches no make of the Chrysler group.
  EXPECT_EQ(groupOfList["st:Chrysler"], "gm");
  int withTexts = 0;
  for (const FamilyEntry& f : t.families) withTexts += f.sources.empty() ? 0 : 1;
  EXPECT_GE(withTexts, 36);
}

// Each fault of a small table is found and named.
TEST(MakeFamilies, Faults) {
  const std::vector<TextList> lists{{"st:Dodge", "chrysler", "", "l:1"},
                                    {"st:Chrysler", "gm", "", "l:2"},
                                    {"ds:GM", "gm", "", "l:3"},
                                    {"ds:AUDI", "none", "", "l:4"}};
  std::vector<FamilyEntry> good;
  for (std::size_t i = 1; i < kMakeSections.size(); ++i) {
    good.push_back({std::string(kMakeSections[i].name), "none", {}, "r", "f:" + std::to_string(i)});
  }
  const auto with = [&good](const std::string& entry, const std::string& group, std::vector<std::string> sources) {
    std::vector<FamilyEntry> table = good;
    for (FamilyEntry& f : table) {
      if (f.entry == entry) f = {entry, group, std::move(sources), "r", "f:x"};
    }
    return table;
  };
  std::vector<FamilyEntry> missing = good;
  missing.pop_back();
  std::vector<FamilyEntry> twice = good;
  twice.push_back(good.front());
  std::vector<FamilyEntry> unknownMake = good;
  unknownMake.push_back({"trabant", "none", {}, "r", "f:y"});
  const struct {
    const char* name;
    std::vector<FamilyEntry> table;
    const char* problem;  // empty: none
  } cases[] = {
      {"all none", good, ""},
      {"one group", with("chrysler", "chrysler", {"st:Dodge"}), ""},
      {"mixes GM into Chrysler", with("chrysler", "chrysler", {"st:Dodge", "st:Chrysler"}), "would mix in st:Chrysler of group gm"},
      {"wrong group", with("dodge", "gm", {"st:Dodge"}), "would mix in st:Dodge of group chrysler"},
      {"unknown list", with("buick", "gm", {"ds:BUICK"}), "ds:BUICK is no known list"},
      {"none list", with("audi", "none", {"ds:AUDI"}), "is of group none but has sources"},
      {"group without sources", with("buick", "gm", {}), "has no sources"},
      {"shared section differs", with("mmc", "gm", {"ds:GM"}), "shares its section with mmc but names other sources"},
      {"missing", missing, "no family entry for \"volvo\""},
      {"twice", twice, "\"acura\" listed twice"},
      {"not a make", unknownMake, "\"trabant\" is no make"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> problems = checkFamilies(c.table, lists);
    if (std::string(c.problem).empty()) {
      EXPECT_EQ(problems, std::vector<std::string>{});
      continue;
    }
    bool found = false;
    for (const std::string& p : problems) found = found || p.find(c.problem) != std::string::npos;
    EXPECT_TRUE(found) << (problems.empty() ? "no problem" : problems.front());
  }
}

TEST(MakeFamilies, ParseErrors) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"# comment\n\nacura\thonda\tds:ACURA,st:Acura\tr\n", ""},
      {"acura\thonda\tds:ACURA\n", "f:1: 4 tab-separated fields expected, found 3"},
      {"\nacura\thonda\t\tr\n", "f:2: an empty field"},
      {"acura\thonda\tds:ACURA,,st:Acura\tr\n", "f:1: an empty source"},
  };
  for (const auto& c : cases) {
    std::vector<FamilyEntry> out;
    const std::string error = parseFamilies(c.text, "f", out);
    EXPECT_EQ(error.substr(0, std::string(c.error).size()), c.error) << c.text;
    if (std::string(c.error).empty()) {
      EXPECT_EQ(error, "");
    }
  }
}

}  // namespace
}  // namespace vx414
