#include "definitions/definitions_table.h"

#include <gtest/gtest.h>

#include "definitions/dis_file.h"
#include "definitions/pair_codec.h"

namespace vx414 {
namespace {

std::vector<GlossaryEntry> plainGlossary() {
  std::vector<GlossaryEntry> glossary;
  for (int i = 1; i <= kGlossaryEntries; ++i) glossary.push_back({"T" + std::to_string(i), "Term", "t"});
  return glossary;
}

PlainSources tableSources() {
  PlainSources s;
  s.glossary = plainGlossary();
  s.sections["generic"] = {{"P0100", "Mass or volume air flow circuit", "t"},
                           {"P0101", "Mass air flow circuit range/performance", "t"},
                           {"P0101", "MAF sensor out of range (second text)", "t"},
                           {"P0102", "Mass air flow circuit low input", "t"},
                           {"U0100", "Lost communication with ECM/PCM A", "t"}};
  s.sections["audi"] = {{"P0100", "Audi: air mass meter", "t"}, {"p1136", "Fuel trim too lean", "t"}};
  s.sections["mmc"] = {{"P0102", "MMC: air flow low", "t"}};
  return s;
}

std::vector<std::uint8_t> build(const PlainSources& sources) {
  BuildResult built = buildDataFile(sources);
  if (!built.error.empty()) ADD_FAILURE() << built.error;
  return std::move(built.stored);
}

DefinitionsTable loaded(const std::vector<std::uint8_t>& stored, std::string_view make) {
  const MemoryBytes file(stored);
  DefinitionsTable table;
  const DataFileStatus status = table.load(file, *findMake(make));
  EXPECT_TRUE(status.ok()) << describe(status);
  return table;
}

std::string definitionFor(const DefinitionsTable& table, std::string_view code) {
  const int row = table.rowForCode(code);
  return row < 0 ? "-" : table.rows()[static_cast<std::size_t>(row)].definition;
}

std::string codeAt(const DefinitionsTable& table, int row) {
  return row < 0 ? "-" : table.rows()[static_cast<std::size_t>(row)].code;
}

TEST(DefinitionsTable, ACodeFindsTheMakesTextOverTheGenericOneAsTheResultTableShowsIt) {
  const std::vector<std::uint8_t> stored = build(tableSources());
  const DefinitionsTable generic = loaded(stored, "generic");
  const DefinitionsTable audi = loaded(stored, "AUDI");
  const DefinitionsTable mmc = loaded(stored, "mmc");
  struct Case {
    const DefinitionsTable* table;
    const char* code;
    const char* definition;
  };
  const Case cases[] = {
      {&generic, "P0100", "Mass or volume air flow circuit"},
      {&generic, "p0101", "MAF sensor out of range (second text)"},  // the last of two rows decides
      {&generic, "P1136", "-"},                                      // the make's code is not loaded
      {&generic, "CODE", "-"},                                       // row 0, the heading, is never reached
      {&generic, "P010", "-"},                                       // whole codes only
      {&audi, "P0100", "Audi: air mass meter"},
      {&audi, "P0101", "MAF sensor out of range (second text)"},
      {&audi, "P1136", "Fuel trim too lean"},  // stored in lower case, read in upper case
      {&audi, "P0102", "Mass air flow circuit low input"},
      {&mmc, "P0102", "MMC: air flow low"},
  };
  for (const Case& c : cases) EXPECT_EQ(definitionFor(*c.table, c.code), c.definition) << c.code;

  // The generic rows come first and are the same under every make; the make's follow.
  EXPECT_EQ(audi.genericCount(), generic.genericCount());
  EXPECT_EQ(generic.rowCount(), generic.genericCount());
  EXPECT_EQ(codeAt(generic, 0), "CODE");
  EXPECT_EQ(codeAt(audi, audi.rowCount() - 1), "p1136");
  EXPECT_GT(audi.rowCount(), audi.genericCount() + 1);
}

TEST(DefinitionsTable, EntriesSharingASectionLoadTheSameRows) {
  const std::vector<std::uint8_t> stored = build(tableSources());
  const DefinitionsTable mmc = loaded(stored, "mmc");
  for (const char* make : {"smart smart city", "cabrio", "fortwo"}) {
    const DefinitionsTable table = loaded(stored, make);
    ASSERT_EQ(table.rowCount(), mmc.rowCount()) << make;
    for (int row = 0; row < table.rowCount(); ++row) EXPECT_EQ(codeAt(table, row), codeAt(mmc, row)) << make;
  }
}

TEST(DefinitionsTable, TheSearchShowsTheFirstCodeAndTheEntryAfterIt) {
  const std::vector<std::uint8_t> stored = build(tableSources());
  const DefinitionsTable generic = loaded(stored, "generic");
  const DefinitionsTable audi = loaded(stored, "audi");
  struct Case {
    const DefinitionsTable* table;
    const char* text;
    const char* found;
    const char* next;
  };
  const Case cases[] = {
      {&generic, "p", "P0100", "P0101"},
      {&generic, "P0101", "P0101", "P0102"},  // listed twice: the entry after the repeat
      {&generic, "U", "U0100", "-"},          // the table's last row
      {&generic, "P1", "-", "-"},
      {&generic, "", "-", "-"},
      {&generic, "C", "-", "-"},              // the heading "CODE" in row 0 is never found
      {&generic, "P01000", "-", "-"},         // longer than every code
      {&audi, "P0100", "P0100", "P0101"},     // found in the generic rows first
      {&audi, "U01", "U0100", "-"},           // the last generic row: the make's rows are not taken
      {&audi, "P113", "p1136", "-"},
  };
  for (const Case& c : cases) {
    const CodeSearchHit hit = c.table->search(c.text);
    EXPECT_EQ(codeAt(*c.table, hit.found), c.found) << c.text;
    EXPECT_EQ(codeAt(*c.table, hit.next), c.next) << c.text;
  }
}

TEST(DefinitionsTable, ADamagedSectionFailsTheLoadAtItsPlaceAndLeavesNoRows) {
  const std::vector<std::uint8_t> good = build(tableSources());
  // A pair whose repeated bits disagree, at the first stored byte of each section.
  for (const char* make : {"generic", "audi"}) {
    std::vector<std::uint8_t> stored = good;
    const std::int32_t position = positionOfAddress(findMake(make)->start);
    stored.at(static_cast<std::size_t>(position - 1)) = 0x40;
    stored.at(static_cast<std::size_t>(position)) = 0x00;
    const MemoryBytes file(stored);
    DefinitionsTable table;
    const DataFileStatus status = table.load(file, *findMake("audi"));
    EXPECT_EQ(status.code, DataFileCode::BadPair) << make;
    EXPECT_EQ(status.position, position) << make;
    EXPECT_EQ(table.rowCount(), 0);
  }
}

TEST(DefinitionsTable, MakesAreFoundByNameWithoutRegardToCase) {
  EXPECT_EQ(findMake("Land Rover")->name, "land rover");
  EXPECT_EQ(findMake("MERCEDES-BENZ")->name, "mercedes-benz");
  EXPECT_EQ(findMake("generic"), &kMakeSections[0]);
  for (const char* unknown : {"", "landrover", "land rover ", "tesla", "generic2"}) EXPECT_EQ(findMake(unknown), nullptr);
}

}  // namespace
}  // namespace vx414
