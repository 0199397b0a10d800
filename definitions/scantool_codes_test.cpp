#include "definitions/scantool_codes.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace vx414 {
namespace {

void putNumber(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// An unpacked Allegro datafile of text objects, as the grabber writes them.
std::string datafile(const std::vector<std::pair<std::string, std::string>>& objects, std::string_view magic = "slh.") {
  std::string out(magic);
  out += "ALL.";
  putNumber(out, static_cast<std::uint32_t>(objects.size()));
  for (const auto& [name, text] : objects) {
    out += "propNAME";
    putNumber(out, static_cast<std::uint32_t>(name.size()));
    out += name;
    out += "CDEF";
    putNumber(out, static_cast<std::uint32_t>(text.size()));
    putNumber(out, static_cast<std::uint32_t>(text.size()));
    out += text;
  }
  return out;
}

ScantoolImport read(const std::string& file) {
  return readScantoolCodes(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
}

std::vector<std::pair<std::string, std::string>> fourObjects(std::string pcodes) {
  return {{"BCODES", "B0001\tGeneric\tDriver frontal stage 1\n"},
          {"CCODES", ""},
          {"PCODES", std::move(pcodes)},
          {"UCODES", "U0100\tChrysler\tLost communication\n"}};
}

TEST(ScantoolCodes, ReadsAndMendsTheDatabase) {
  const ScantoolImport imported = read(datafile(fourObjects(
      "P0101\tGeneric\tMass air flow\r\n"
      "P3497\tGeneric\tCylinder Deactivation SystemU0001\tHigh Speed CAN Communication Bus\n"
      "P03O2\tLandrover\tMisfire Cylinder 2\n"
      "P1756\tDodge\tGovernor Pressure At 15\xEF\xBF\xBD" "20 PSI\n"
      "P1500\tAudi\tFirst text\tcontinued\n"
      "P1500\tAudi\tSecond text\n")));
  ASSERT_EQ(imported.error, "");
  const std::vector<std::vector<std::string>> expected{
      {"B0001", "Generic", "Driver frontal stage 1", "BCODES:1"},
      {"P0101", "Generic", "Mass air flow", "PCODES:1"},
      {"P3497", "Generic", "Cylinder Deactivation System", "PCODES:2"},
      {"U0001", "Generic", "High Speed CAN Communication Bus", "PCODES:2"},
      {"P0302", "Landrover", "Misfire Cylinder 2", "PCODES:3"},
      {"P1756", "Dodge", "Governor Pressure At 15-20 PSI", "PCODES:4"},
      {"P1500", "Audi", "First text continued", "PCODES:5"},
      {"P1500", "Audi", "Second text", "PCODES:6"},
      {"U0100", "Chrysler", "Lost communication", "UCODES:1"},
  };
  ASSERT_EQ(imported.codes.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const ScantoolCode& code = imported.codes[i];
    EXPECT_EQ((std::vector<std::string>{code.code, code.make, code.description, code.where}), expected[i]);
  }

  PlainSources sources;
  ASSERT_EQ(addScantoolCodes(imported.codes, sources), "");
  EXPECT_EQ(sources.sections["generic"].size(), 4u);
  EXPECT_EQ(sources.sections["land rover"].at(0).code, "P0302");
  ASSERT_EQ(sources.sections["audi"].size(), 2u);
  EXPECT_EQ(sources.sections["audi"][1].definition, "Second text");  // source order kept
}

TEST(ScantoolCodes, RefusesWhatItCannotRead) {
  std::string truncated = datafile(fourObjects("P0101\tGeneric\tx\n"));
  truncated.resize(truncated.size() - 10);
  const struct {
    const char* name;
    std::string file;
    std::string error;
  } cases[] = {
      {"packed", datafile(fourObjects(""), "slh!"),
       "codes.dat: a packed Allegro datafile (\"slh!\"); only the unpacked form (\"slh.\") is read"},
      {"not a datafile", "GIF89a......", "codes.dat: not an Allegro datafile"},
      {"too short", "slh.", "codes.dat: too short for an Allegro datafile"},
      {"truncated", truncated, "codes.dat: object UCODES runs past the end"},
      {"an object missing", datafile({{"BCODES", ""}}), "codes.dat: 1 of the four code objects found"},
      {"bad code", datafile(fourObjects("P01X1\tGeneric\tx\n")), "PCODES:1: not a trouble code: \"P01X1\""},
      {"two fields", datafile(fourObjects("P0101\tGeneric\n")), "PCODES:1: fewer than three fields"},
      {"outside Windows-1252", datafile(fourObjects("P0101\tGeneric\t\xE2\x86\x92\n")),
       "PCODES:1: description is not UTF-8 of Windows-1252 characters"},
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.file).error, c.error) << c.name;

  PlainSources sources;
  EXPECT_EQ(addScantoolCodes({{"P1000", "Tesla", "x", "PCODES:9"}}, sources), "PCODES:9: unknown make \"Tesla\"");
}

TEST(ScantoolCodes, TheInstalledDatabase) {
  std::string file;
  if (!readWholeFile("/usr/share/scantool/codes.dat", file).empty()) GTEST_SKIP() << "scantool is not installed";
  const ScantoolImport imported = read(file);
  ASSERT_EQ(imported.error, "");
  PlainSources sources;
  ASSERT_EQ(addScantoolCodes(imported.codes, sources), "");
  EXPECT_EQ(sources.sections.size(), 21u);  // generic and 20 makes
  const auto has = [&](std::string_view section, std::string_view code, std::string_view text) {
    const auto& records = sources.sections[std::string(section)];
    return std::any_of(records.begin(), records.end(),
                       [&](const SourceRecord& r) { return r.code == code && r.definition.find(text) != std::string::npos; });
  };
  EXPECT_TRUE(has("generic", "P3497", "Cylinder Deactivation System"));
  EXPECT_TRUE(has("generic", "U0001", "High Speed CAN Communication Bus"));
  EXPECT_TRUE(has("land rover", "P0302", "Misfire"));
  EXPECT_TRUE(has("land rover", "P1509", "Idle Speed Control"));
  EXPECT_TRUE(has("dodge", "P1756", "15-20 PSI"));
}

}  // namespace
}  // namespace vx414
