#include "definitions/generic_titles.h"

#include <gtest/gtest.h>

#include "definitions/code_ranges.h"

namespace vx414 {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

std::vector<SourceRecord> records(const Rows& rows) {
  std::vector<SourceRecord> out;
  for (const auto& [code, text] : rows) out.push_back({code, text, "t:" + code});
  return out;
}

Rows rowsOf(const std::vector<SourceRecord>& merged) {
  Rows out;
  for (const SourceRecord& record : merged) out.emplace_back(record.code, record.definition);
  return out;
}

TEST(GenericTitles, ManufacturerRanges) {
  const struct {
    const char* code;
    bool makes;
  } cases[] = {
      {"P0FFF", false}, {"P1000", true},  {"P1FFF", true},  {"P2FFF", false}, {"P3000", true},
      {"P33FF", true},  {"P3400", false}, {"P34C8", false}, {"B0FFF", false}, {"B1000", true},
      {"B2FFF", true},  {"B3000", false}, {"C0035", false}, {"C1234", true},  {"C2000", true},
      {"U0100", false}, {"U1000", true},  {"U2FFF", true},  {"U3000", false}, {"u1234", true},
      {"p3399", true},  {"P100", false},  {"X1000", false}, {"P10000", false},
  };
  for (const auto& c : cases) EXPECT_EQ(isManufacturerRange(c.code), c.makes) << c.code;
}

TEST(GenericTitles, RowsThatAreNoTitle) {
  const struct {
    const char* code;
    const char* title;
    bool title_;
  } cases[] = {
      {"P0420", "Catalyst System Efficiency Below Threshold Bank 1", true},
      {"P0A80", "Replace Hybrid Battery Pack", true},
      {"P3400", "P34C8", false},                            // the title is another code
      {"P1682", "P1684", false},
      {"P1000", "Manufacturer Controlled DTC", false},      // range marker
      {"B3000", "B3000-B3999 ISO/SAE Reserved", false},     // range heading
      {"P0001", "   ", false},                              // empty
      {"P00G1", "Fuel Volume Regulator Control", false},    // not a code
      {"P001", "Fuel Volume Regulator Control", false},
      {"P0100", "P0100 Mass Air Flow Circuit", true},       // starts with its code, still a title
      {"P2A00", "O2 Sensor Circuit Range/Performance", true},
  };
  for (const auto& c : cases) EXPECT_EQ(!notATitle(c.code, c.title).has_value(), c.title_) << c.code;
}

TEST(GenericTitles, PlaceholderTexts) {
  const struct {
    const char* text;
    bool placeholder;
  } cases[] = {
      {"Reserved", true},
      {"Reserved by Document", true},
      {"Reserved by SAE J2012", true},
      {"ISO/SAE Reserved", true},
      {" reserved", true},
      {"Vacuum Reservoir Pressure Sensor Circuit", false},
      {"Reservedly worded", false},
      {"Fuel Pressure Regulator Reserved Circuit", false},
  };
  for (const auto& c : cases) EXPECT_EQ(isPlaceholderText(c.text), c.placeholder) << c.text;
}

TEST(GenericTitles, MergeRules) {
  const struct {
    const char* name;
    Rows current;
    Rows titles;
    Rows merged;
    int dropped;
    int movedOut;
  } cases[] = {
      {"the standard's title names a reserved code",
       {{"P0364", "Reserved"}},
       {{"P0364", "Cylinder Position Sensor Circuit High"}},
       {{"P0364", "Cylinder Position Sensor Circuit High"}}, 0, 0},
      {"both name the code: the title wins",
       {{"C0035", "Left Front Wheel Speed Circuit Malfunction"}},
       {{"C0035", "Left Front Wheel Speed Sensor Circuit"}},
       {{"C0035", "Left Front Wheel Speed Sensor Circuit"}}, 0, 0},
      {"a placeholder title leaves the current text",
       {{"P0999", "Shift Solenoid F Control Circuit High"}},
       {{"P0999", "ISO/SAE Reserved"}},
       {{"P0999", "Shift Solenoid F Control Circuit High"}}, 0, 0},
      {"both placeholders: the title",
       {{"U0074", "Reserved by Document"}},
       {{"U0074", "ISO/SAE Reserved"}},
       {{"U0074", "ISO/SAE Reserved"}}, 0, 0},
      {"one source only, two current texts kept in order",
       {{"P0101", "first"}, {"P0101", "second"}},
       {{"P0A80", "Replace Hybrid Battery Pack"}},
       {{"P0101", "first"}, {"P0101", "second"}, {"P0A80", "Replace Hybrid Battery Pack"}}, 0, 0},
      {"a title replaces both current texts",
       {{"P0101", "first"}, {"P0101", "second"}},
       {{"P0101", "Mass Air Flow Sensor A Circuit Range/Performance"}},
       {{"P0101", "Mass Air Flow Sensor A Circuit Range/Performance"}}, 0, 0},
      {"manufacturer ranges leave, from either source",
       {{"C1234", "Wheel speed (one maker)"}, {"P1000", "OBD readiness"}, {"C0040", "Right Front Wheel Speed"}},
       {{"P3001", "Maker text"}, {"U2000", "Manufacturer Controlled DTC"}, {"P3400", "Cylinder Deactivation"}},
       {{"C0040", "Right Front Wheel Speed"}, {"P3400", "Cylinder Deactivation"}}, 1, 3},
      {"a dropped title leaves the current text",
       {{"P3400", "Cylinder Deactivation System Bank 1"}},
       {{"P3400", "P34C8"}},
       {{"P3400", "Cylinder Deactivation System Bank 1"}}, 1, 0},
      {"a repeated code in the list: the first row counts",
       {},
       {{"P2463", "Diesel Particulate Filter Restriction - Soot Accumulation"}, {"P2463", "later"}},
       {{"P2463", "Diesel Particulate Filter Restriction - Soot Accumulation"}}, 1, 0},
      {"codes compared without regard to case, written upper-case",
       {{"p0420", "Catalyst efficiency"}},
       {{"P0420", "Catalyst System Efficiency Below Threshold Bank 1"}, {"u3000", "Control Module"}},
       {{"P0420", "Catalyst System Efficiency Below Threshold Bank 1"}, {"U3000", "Control Module"}}, 0, 0},
  };
  for (const auto& c : cases) {
    const GenericMerge merge = mergeGenericTitles(records(c.current), records(c.titles));
    EXPECT_EQ(rowsOf(merge.records), c.merged) << c.name;
    EXPECT_EQ(static_cast<int>(merge.report.dropped.size()), c.dropped) << c.name;
    EXPECT_EQ(static_cast<int>(merge.report.movedOut.size()), c.movedOut) << c.name;
  }
}

}  // namespace
}  // namespace vx414
