#include "definitions/glossary.h"

#include <gtest/gtest.h>

#include "definitions/dis_file.h"
#include "definitions/make_sections.h"

namespace vx414 {
namespace {

std::vector<std::uint8_t> glossaryFile(std::vector<GlossaryEntry> glossary) {
  PlainSources sources;
  sources.glossary = std::move(glossary);
  BuildResult built = buildDataFile(sources);
  if (!built.error.empty()) ADD_FAILURE() << built.error;
  return std::move(built.stored);
}

std::vector<GlossaryEntry> sample() {
  std::vector<GlossaryEntry> g;
  for (int i = 1; i <= kGlossaryEntries; ++i) g.push_back({"T" + std::to_string(i), "Term " + std::to_string(i), "t"});
  g[0] = {"4WD", "Four-wheel drive", "t"};
  g[1] = {"ABS", "Anti-lock brake system", "t"};
  g[2] = {"ABS light", "Warning lamp of the ABS", "t"};
  g[3] = {"A/C", "Air conditioning", "t"};
  g[4] = {"\xC9tat", "State (accented capital)", "t"};
  g[831] = {"Zylinder", "The last entry", "t"};
  return g;
}

TEST(Glossary, ReadsAllPairsAndFindsTermsByTheirBeginning) {
  const std::vector<std::uint8_t> stored = glossaryFile(sample());
  const MemoryBytes file(stored);
  std::vector<GlossaryItem> items;
  ASSERT_TRUE(loadGlossaryItems(file, items).ok());
  ASSERT_EQ(items.size(), static_cast<std::size_t>(kGlossaryEntries));
  EXPECT_EQ(items[1].term, "ABS");
  EXPECT_EQ(items[1].explanation, "Anti-lock brake system");
  EXPECT_EQ(items[831].explanation, "The last entry");

  const auto terms = [&](std::string_view text) {
    std::string joined;
    for (std::size_t i : termsStartingWith(items, text)) joined += (joined.empty() ? "" : "|") + items[i].term;
    return joined;
  };
  EXPECT_EQ(terms("abs"), "ABS|ABS light");
  EXPECT_EQ(terms("ABS "), "ABS light");
  EXPECT_EQ(terms("a"), "ABS|ABS light|A/C");
  EXPECT_EQ(terms("\xE9T"), "\xC9tat");  // e acute finds E acute
  EXPECT_EQ(terms("e"), "");             // a plain e does not
  EXPECT_EQ(terms("zyl"), "Zylinder");
  EXPECT_EQ(terms("T83"), "T83|T830|T831");  // T832, the last, was replaced above
  EXPECT_EQ(terms("ABS light!"), "");
  EXPECT_EQ(termsStartingWith(items, "").size(), items.size());
}

TEST(Glossary, ADamagedPairFailsTheLoadAtItsPlace) {
  std::vector<std::uint8_t> stored = glossaryFile(sample());
  // The first stored byte of the second term, "ABS": "4WD", its terminator, the
  // explanation and its terminator come before it.
  const std::int32_t position =
      positionOfAddress(GlossaryAddress) + 2 * static_cast<std::int32_t>(std::string("4WD\tFour-wheel drive\n").size());
  stored.at(static_cast<std::size_t>(position - 1)) = 0x80;
  stored.at(static_cast<std::size_t>(position)) = 0x00;
  const MemoryBytes file(stored);
  std::vector<GlossaryItem> items{{"stale", "stale"}};
  const DataFileStatus status = loadGlossaryItems(file, items);
  EXPECT_EQ(status.code, DataFileCode::BadPair);
  EXPECT_EQ(status.position, position);
  EXPECT_TRUE(items.empty());
}

}  // namespace
}  // namespace vx414
