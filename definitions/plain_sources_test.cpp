#include "definitions/plain_sources.h"

#include <fstream>

#include <gtest/gtest.h>

#include "definitions/test_support.h"

namespace vx414 {
namespace {

TEST(PlainSources, ParsesLinesOfTwoFields) {
  std::vector<SourceRecord> records;
  ASSERT_EQ(parseSectionTsv("P0101\tMass air flow\nP0102\t\nP0103\t\xC3\xA9t\xC3\xA9 \xE2\x80\x93 x", "f.tsv", records), "");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].definition, "");
  EXPECT_EQ(records[2].definition, "\xE9t\xE9 \x96 x");
  EXPECT_EQ(records[2].where, "f.tsv:3");
  EXPECT_EQ(formatSectionTsv(records), "P0101\tMass air flow\nP0102\t\nP0103\t\xC3\xA9t\xC3\xA9 \xE2\x80\x93 x\n");
}

TEST(PlainSources, BadLinesAreNamed) {
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"A\tok\nno tab\n", "g.tsv:2: no tab between the two fields"},
      {"A\tB\tC\n", "g.tsv:1: more than one tab"},
      {"A\tB\r\n", "g.tsv:1: carriage return in line"},
      {"A\tB\n\nC\tD\n", "g.tsv:2: no tab between the two fields"},
      {"A\t\xF0\x9F\x9A\x97\n", "g.tsv:1: not UTF-8, or a character that Windows-1252 does not have"},
      {"A\t\xE9\n", "g.tsv:1: not UTF-8, or a character that Windows-1252 does not have"},
  };
  for (const auto& c : cases) {
    std::vector<GlossaryEntry> glossary;
    EXPECT_EQ(parseGlossaryTsv(c.text, "g.tsv", glossary), c.error);
  }
}

TEST(PlainSources, FoldersHoldOneFilePerSection) {
  testing::ScratchFolder folder;
  PlainSources sources;
  sources.glossary = {{"MAF", "Mass air flow sensor", ""}};
  sources.sections["land rover"] = {{"P1000", "x", ""}};
  sources.sections["generic"] = {{"P0001", "y", ""}};
  ASSERT_EQ(writeSourcesFolder(folder.path().string(), sources), "");
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "land_rover.tsv"));

  PlainSources read;
  ASSERT_EQ(readSectionsFolder(folder.path().string(), read), "");
  ASSERT_EQ(read.sections.size(), 2u);
  EXPECT_EQ(read.sections["land rover"].at(0).code, "P1000");
  EXPECT_TRUE(read.glossary.empty());  // glossary.tsv is read on its own

  std::ofstream(folder.path() / "landrover.tsv") << "P1\tz\n";
  EXPECT_EQ(readSectionsFolder(folder.path().string(), read), (folder.path() / "landrover.tsv").string() + ": named after no section");
}

}  // namespace
}  // namespace vx414
