#include "definitions/dis_file.h"

#include <algorithm>
#include <fstream>

#include <gtest/gtest.h>

#include "definitions/items.h"
#include "definitions/make_sections.h"
#include "definitions/pair_codec.h"
#include "definitions/section_walk.h"
#include "definitions/test_support.h"

namespace vx414 {
namespace {

using testing::ScratchFolder;

std::vector<GlossaryEntry> smallGlossary(std::size_t entries = kGlossaryEntries) {
  std::vector<GlossaryEntry> glossary;
  for (std::size_t i = 0; i < entries; ++i) {
    glossary.push_back({"T" + std::to_string(i), "Term number " + std::to_string(i), "glossary.tsv:" + std::to_string(i + 1)});
  }
  return glossary;
}

PlainSources sampleSources() {
  PlainSources sources;
  sources.glossary = smallGlossary();
  sources.sections["generic"] = {
      {"P0102", "Mass or volume air flow circuit low input", "g:1"},
      {"P0101", "Mass or volume air flow circuit range/performance", "g:2"},
      {"B0001", "1st stage deployment", "g:3"},   // a digit first
      {"C0035", " leading space kept", "g:4"},
      {"U0100", "", "g:5"},                       // empty definition
      {"P0101", "second text for the same code", "g:6"},
  };
  sources.sections["audi"] = {{"P1500", "Fuel pump relay circuit \xE9lectrique", "a:1"}};
  sources.sections["mmc"] = {{"P2000", "Shared by four entries", "m:1"}};
  sources.sections["volvo"] = {{"P1234", std::string(480, 'v'), "v:1"}};
  return sources;
}

// What a dump should give back: every section sorted by code, equal codes in source order.
PlainSources sorted(PlainSources sources) {
  for (auto& [name, records] : sources.sections) {
    std::stable_sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.code < b.code; });
  }
  return sources;
}

void expectSameSources(const PlainSources& actual, const PlainSources& expected) {
  ASSERT_EQ(actual.glossary.size(), expected.glossary.size());
  for (std::size_t i = 0; i < actual.glossary.size(); ++i) {
    EXPECT_EQ(actual.glossary[i].term, expected.glossary[i].term);
    EXPECT_EQ(actual.glossary[i].definition, expected.glossary[i].definition);
  }
  ASSERT_EQ(actual.sections.size(), expected.sections.size());
  for (const auto& [name, records] : expected.sections) {
    const auto found = actual.sections.find(name);
    ASSERT_NE(found, actual.sections.end()) << name;
    ASSERT_EQ(found->second.size(), records.size()) << name;
    for (std::size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(found->second[i].code, records[i].code) << name << " " << i;
      EXPECT_EQ(found->second[i].definition, records[i].definition) << name << " " << i;
    }
  }
}

std::vector<std::pair<std::string, std::string>> loadAsTheProgram(const std::vector<std::uint8_t>& stored,
                                                                  std::string_view vehicle) {
  const MemoryBytes file(stored);
  const SectionBounds bounds = cartypeselect(vehicle);
  std::vector<std::pair<std::string, std::string>> rows;
  const DataFileStatus status = walkSection(file, {vehicle, bounds.MakeStart, bounds.MakeEnd, kDefinitionRows},
                                            [&](const WalkedRecord& r) { rows.emplace_back(r.code, r.definition); });
  EXPECT_TRUE(status.ok()) << describe(status);
  return rows;
}

TEST(DisFile, DumpGivesBackTheSortedSources) {
  const PlainSources sources = sampleSources();
  const BuildResult built = buildDataFile(sources);
  ASSERT_EQ(built.error, "");
  EXPECT_EQ(built.stored.size(), std::size_t{0x4DF400} * 2);
  const MemoryBytes file(built.stored);
  const DumpResult dumped = dumpDataFile(file);
  ASSERT_TRUE(dumped.status.ok()) << describe(dumped.status);
  expectSameSources(dumped.sources, sorted(sources));
}

TEST(DisFile, TheLoaderSeesHeadingFillersThenSortedRecords) {
  const BuildResult built = buildDataFile(sampleSources());
  ASSERT_EQ(built.error, "");

  const auto generic = loadAsTheProgram(built.stored, "generic");
  ASSERT_GT(generic.size(), 7u);
  EXPECT_EQ(generic.front(), (std::pair<std::string, std::string>{"CODE", "DEFINITION"}));
  const std::size_t fillers = generic.size() - 7;
  for (std::size_t row = 1; row <= fillers; ++row) {
    EXPECT_EQ(generic[row].first, "") << row;
    EXPECT_EQ(generic[row].second.find_first_not_of(' '), std::string::npos) << row;
  }
  const std::vector<std::pair<std::string, std::string>> real(generic.begin() + 1 + static_cast<long>(fillers),
                                                              generic.end());
  const std::vector<std::pair<std::string, std::string>> expected{
      {"B0001", " 1st stage deployment"},
      {"C0035", "  leading space kept"},
      {"P0101", "Mass or volume air flow circuit range/performance"},
      {"P0101", "second text for the same code"},
      {"P0102", "Mass or volume air flow circuit low input"},
      {"U0100", ""},
  };
  EXPECT_EQ(real, expected);

  // The four entries sharing a section load the same rows; a make without records loads
  // fillers only.
  const auto mmc = loadAsTheProgram(built.stored, "mmc");
  EXPECT_EQ(mmc.back(), (std::pair<std::string, std::string>{"P2000", "Shared by four entries"}));
  for (std::string_view entry : {"smart smart city", "cabrio", "fortwo"}) EXPECT_EQ(loadAsTheProgram(built.stored, entry), mmc);
  for (const auto& [code, definition] : loadAsTheProgram(built.stored, "bmw")) EXPECT_EQ(code, "");
}

TEST(DisFile, VerifyCountsWhatTheBuildLaidDown) {
  const BuildResult built = buildDataFile(sampleSources());
  ASSERT_EQ(built.error, "");
  const MemoryBytes file(built.stored);
  const VerifyReport report = verifyDataFile(file);
  ASSERT_TRUE(report.status.ok()) << describe(report.status);
  EXPECT_EQ(report.glossaryPairs, kGlossaryEntries);
  EXPECT_LE(report.glossaryEnd, positionOfAddress(kMakeSections[0].start));
  const std::vector<MakeSection> sections = distinctSections();
  ASSERT_EQ(report.sections.size(), sections.size());
  ASSERT_EQ(built.report.sections.size(), sections.size());
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const SectionCount& count = report.sections[i];
    const SectionLayout& layout = built.report.sections[i];
    EXPECT_EQ(count.end, positionOfAddress(sections[i].end)) << count.name;  // the last record ends at the end
    EXPECT_EQ(count.rows, layout.headingRecords + layout.fillerRecords + layout.realRecords) << count.name;
    EXPECT_EQ(count.codedRows, layout.headingRecords + layout.realRecords) << count.name;
    EXPECT_EQ(count.codedBytes, layout.realBytes) << count.name;
    // Fillers are close to the 500-byte limit.
    EXPECT_EQ(layout.fillerRecords, static_cast<int>((layout.sectionBytes - layout.realBytes + 499) / 500)) << count.name;
  }
  EXPECT_EQ(report.genericRows, report.sections[0].rows);
}

std::int32_t verifyFailurePosition(const std::vector<std::uint8_t>& stored, DataFileCode expected) {
  ScratchFolder folder;
  const std::string path = (folder.path() / "VX-414.dis").string();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(stored.data()),
                                               static_cast<std::streamsize>(stored.size()));
  DataFile slot;
  EXPECT_TRUE(slot.open(path).ok());
  const VerifyReport report = verifyDataFile(slot);
  EXPECT_EQ(report.status.code, expected) << describe(report.status);
  return report.status.ok() ? 0 : report.status.position;
}

TEST(DisFile, DamagedBytesAreFoundWhereTheyAre) {
  const BuildResult built = buildDataFile(sampleSources());
  ASSERT_EQ(built.error, "");
  const std::int32_t ford = positionOfAddress(makeSectionFor("ford").start);
  const std::int32_t volvoEnd = positionOfAddress(makeSectionFor("volvo").end);
  const struct {
    const char* name;
    std::int32_t position;  // of the damaged stored byte
    std::uint8_t flip;
    std::int32_t reported;  // position of its pair
  } cases[] = {
      {"the glossary's first byte", 29, 0x02, 29},
      {"a second stored byte in the glossary", 29 + 2 * 101 + 1, 0x10, 29 + 2 * 101},
      {"the generic heading", positionOfAddress(0x100069F0) + 2, 0x02, positionOfAddress(0x100069F0) + 2},
      {"deep in the ford section", ford + 40001, 0x10, ford + 40000},
      {"the last terminator of the file", volvoEnd - 2, 0x02, volvoEnd - 2},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> stored = built.stored;
    stored[static_cast<std::size_t>(c.position - 1)] ^= c.flip;
    EXPECT_EQ(verifyFailurePosition(stored, DataFileCode::BadPair), c.reported) << c.name;
  }
  // Bytes the program never reads may hold anything.
  std::vector<std::uint8_t> stored = built.stored;
  stored[0] ^= 0x02;
  stored[static_cast<std::size_t>(positionOfAddress(makeSectionFor("generic").end))] ^= 0x02;
  verifyFailurePosition(stored, DataFileCode::Ok);
}

TEST(DisFile, VerifyHoldsOtherFilesToTheLoadersLimits) {
  const BuildResult built = buildDataFile(sampleSources());
  ASSERT_EQ(built.error, "");
  const auto overwrite = [](std::vector<std::uint8_t>& stored, std::int32_t position, std::string_view data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
      const DataPair pair = encodePair(static_cast<std::uint8_t>(data[i]));
      stored[static_cast<std::size_t>(position - 1) + 2 * i] = pair[0];
      stored[static_cast<std::size_t>(position) + 2 * i] = pair[1];
    }
  };
  const std::int32_t ford = positionOfAddress(makeSectionFor("ford").start);
  {
    std::vector<std::uint8_t> stored = built.stored;
    overwrite(stored, ford, "P1000\n" + std::string(600, 'x') + "\n");
    const VerifyReport report = verifyDataFile(MemoryBytes(stored));
    EXPECT_EQ(report.status.code, DataFileCode::DefinitionTooLong);
    EXPECT_EQ(report.status.section, "ford");
    EXPECT_EQ(report.status.position, ford);
  }
  {
    std::vector<std::uint8_t> stored = built.stored;
    overwrite(stored, ford, std::string(5001, 'x'));
    const VerifyReport report = verifyDataFile(MemoryBytes(stored));
    EXPECT_EQ(report.status.code, DataFileCode::RecordTooLong);
    EXPECT_EQ(report.status.record, 0);
  }
  {
    // A file cut short: the last definition runs on into the zeros past the file's end.
    std::vector<std::uint8_t> stored = built.stored;
    stored.resize(stored.size() - 100);
    const VerifyReport report = verifyDataFile(MemoryBytes(stored));
    EXPECT_EQ(report.status.code, DataFileCode::DefinitionTooLong);
    EXPECT_EQ(report.status.section, "volvo");
  }
}

TEST(DisFile, BuildRefusesWhatDoesNotFit) {
  const auto withSection = [](std::string name, std::vector<SourceRecord> records) {
    PlainSources sources;
    sources.glossary = smallGlossary();
    sources.sections[std::move(name)] = std::move(records);
    return sources;
  };
  const auto many = [](std::size_t count) {
    std::vector<SourceRecord> records;
    for (std::size_t i = 0; i < count; ++i) records.push_back({"P" + std::to_string(10000 + i % 10000).substr(1), "", "x:" + std::to_string(i + 1)});
    return records;
  };
  PlainSources wrongCount;
  wrongCount.glossary = smallGlossary(831);
  PlainSources longTerm;
  longTerm.glossary = smallGlossary();
  longTerm.glossary[5].term = std::string(500, 't');
  PlainSources overflow;
  overflow.glossary = smallGlossary();
  for (GlossaryEntry& entry : overflow.glossary) entry.definition = std::string(30, 'd');
  PlainSources tooManyForMake = withSection("generic", many(16000));
  tooManyForMake.sections["ford"] = many(17000);
  PlainSources infiniti = withSection("infiniti", {});
  for (int i = 0; i < 20; ++i) {
    infiniti.sections["infiniti"].push_back({"P" + std::to_string(1000 + i), std::string(190, 'i'), "i:" + std::to_string(i + 1)});
  }

  const struct {
    const char* name;
    PlainSources sources;
    std::string error;
  } cases[] = {
      {"glossary count", wrongCount, "glossary: 831 entries, the program reads exactly 832"},
      {"glossary item of 500", longTerm, "glossary.tsv:6: glossary item of 500 or more characters"},
      {"glossary overflow", overflow, "glossary.tsv:757: the glossary overflows: 27106 data bytes lie between its start and the generic section"},
      {"record over 500 bytes", withSection("audi", {{"P1000", std::string(494, 'a'), "a.tsv:3"}}),
       "section \"audi\", record P1000 (a.tsv:3): 501 data bytes, more than 500"},
      {"code of six", withSection("audi", {{"P10000", "x", "a.tsv:1"}}),
       "section \"audi\", record P10000 (a.tsv:1): code longer than 5 characters"},
      {"empty code", withSection("audi", {{"", "x", "a.tsv:1"}}), "section \"audi\", record  (a.tsv:1): empty code"},
      {"terminator inside", withSection("audi", {{"P1000", "a\rb", "a.tsv:1"}}),
       "section \"audi\", record P1000 (a.tsv:1): tab or line end inside the record"},
      {"section overflow", infiniti, "section \"infiniti\", record P1017 (i:18): does not fit: the section holds 3545 data bytes"},
      {"generic twice", withSection("generic", many(17000)),
       "section \"generic\": 17136 rows, with the fixed section's 17136 read again that exceeds 32767 table rows"},
      {"generic and make rows", tooManyForMake,
       "section \"ford\", record P9495 (x:9496): too many rows: 17122 with the generic section's 16150 exceed 32767"},
      {"unknown section", withSection("tesla", {}), "section \"tesla\": no such section"},
      {"an entry sharing a section", withSection("cabrio", {}), "section \"cabrio\": no such section"},
  };
  for (const auto& c : cases) EXPECT_EQ(buildDataFile(c.sources).error, c.error) << c.name;
}

}  // namespace
}  // namespace vx414
