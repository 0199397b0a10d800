#include "definitions/make_merge.h"

#include <gtest/gtest.h>

#include "definitions/make_corrections.h"

namespace vx414 {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

std::vector<SourceRecord> records(const Rows& rows) {
  std::vector<SourceRecord> out;
  for (const auto& [code, text] : rows) out.push_back({code, text, "t"});
  return out;
}

Rows rowsOf(const std::vector<SourceRecord>& merged) {
  Rows out;
  for (const SourceRecord& r : merged) out.emplace_back(r.code, r.definition);
  return out;
}

// The merge rule on small lists: the most trusted list with a real title wins, a
// placeholder never replaces one and stays only where nothing better exists.
TEST(MakeMerge, Rule) {
  const struct {
    const char* name;
    Rows own, family;
    Rows merged;
    int placeholdersKept, placeholdersReplaced;
  } cases[] = {
      {"own wins", {{"P1281", "Engine Is Cold Too Long"}}, {{"P1281", "Engine Operating Temp Below Range"}},
       {{"P1281", "Engine Is Cold Too Long"}}, 0, 0},
      {"family fills the gaps", {{"P1281", "Engine Is Cold Too Long"}}, {{"p1282", "Fuel Pump Relay Control Circuit"}},
       {{"P1281", "Engine Is Cold Too Long"}, {"P1282", "Fuel Pump Relay Control Circuit"}}, 0, 0},
      {"placeholder never replaces a title", {{"P1745", "Line Pressure Solenoid"}}, {{"P1745", "Transmission system problems"}},
       {{"P1745", "Line Pressure Solenoid"}}, 0, 0},
      {"a title replaces the own placeholder", {{"P1705", "Automatic Transaxle Concerns"}}, {{"P1705", "A/T Gear Position Switch Shorted"}},
       {{"P1705", "A/T Gear Position Switch Shorted"}}, 0, 1},
      {"placeholder stays where nothing is better",
       {{"P1610", "SBDS Interactive Codes"}, {"P1610", "SBDS Interactive Codes"}}, {{"P1610", "Automatic Transaxle"}},
       {{"P1610", "SBDS Interactive Codes"}}, 1, 0},
      {"two texts of the winning list stay, its placeholder goes",
       {{"P1602", "PCM Communication Line to TCM Error"}, {"P1602", "Transmission system problems"},
        {"P1602", "Immobilizer Communication Error with PCM"}},
       {{"P1602", "Something else"}},
       {{"P1602", "PCM Communication Line to TCM Error"}, {"P1602", "Immobilizer Communication Error with PCM"}}, 0, 0},
      {"trimmed, sorted", {{"P1101", "  Oxygen Sensor Circuit  "}}, {{"P1000", "OBD Monitor Testing Not Complete"}},
       {{"P1000", "OBD Monitor Testing Not Complete"}, {"P1101", "Oxygen Sensor Circuit"}}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<SourceRecord> own = records(c.own), family = records(c.family);
    const MakeMerge merged = mergeMakeTexts({{"own", &own}, {"family", &family}});
    EXPECT_EQ(rowsOf(merged.records), c.merged);
    EXPECT_EQ(merged.report.placeholdersKept, c.placeholdersKept);
    EXPECT_EQ(merged.report.placeholdersReplaced, c.placeholdersReplaced);
    int taken = 0;
    for (const SourceUse& use : merged.report.sources) taken += use.taken;
    EXPECT_EQ(taken, static_cast<int>(c.merged.size()));
  }
}

TEST(MakeMerge, Placeholders) {
  const struct {
    const char* text;
    bool placeholder;
  } cases[] = {
      {"Transmission system problems", true}, {"Automatic Transaxle Concerns", true}, {"Automatic Transaxle", true},
      {"SBDS Interactive Codes", true},       {" sbds interactive codes ", true},     {"Automatic Transaxle Range Switch", false},
      {"Concerns", false},                     {"Line Pressure Solenoid System", false},
  };
  for (const auto& c : cases) EXPECT_EQ(isMakePlaceholder(c.text), c.placeholder) << c.text;
}

// The checks every finished section passes: one title for several codes must say which
// wheel, loop or stage; curly quotes pair up.
TEST(MakeMerge, SectionChecks) {
  const std::vector<SourceRecord> tpm = records({{"C0750", "TPM system sensor not transmitting"},
                                                  {"C0755", "TPM system sensor not transmitting"},
                                                  {"C0760", "Left Rear Tire Pressure Sensor"}});
  EXPECT_EQ(sharedPositionTitles(tpm), std::vector<std::string>{});  // no wheel named at all
  const std::vector<SourceRecord> loops = records({{"B0016", "Passenger Deployment Loop (Stage 1) Circuit"},
                                                    {"B0017", "passenger deployment loop (stage 1) circuit"},
                                                    {"B0018", "Passenger Deployment Loop (Stage 2) Circuit"},
                                                    {"C0035", "Left Front Wheel Speed Sensor"},
                                                    {"C0040", "Right Front Wheel Speed Sensor"},
                                                    {"P1500", "Starter loopback"}});
  EXPECT_EQ(sharedPositionTitles(loops),
            std::vector<std::string>{"B0016, B0017: \"passenger deployment loop (stage 1) circuit\""});

  const std::vector<SourceRecord> quoted = records({{"P0D2D", "Inverter Voltage Sensor \x93" "A\x94 Circuit"},
                                                     {"P0D2E", "Inverter Voltage Sensor A\x94 Circuit"},
                                                     {"U015F", "Interface Module \x93" "B"},
                                                     {"P0001", "No quotes"}});
  EXPECT_EQ(unbalancedQuotes(quoted), (std::vector<std::string>{"P0D2E: Inverter Voltage Sensor A\x94 Circuit",
                                                                "U015F: Interface Module \x93" "B"}));
}

// Corrections: what each action does to a small list, and the faults a table can have.
TEST(MakeCorrections, Apply) {
  const char* table =
      "# LISTS\tCODES\tACTION\tTEXT\tWHY\n"
      "ds:A\tP1404-P1460\tdrop\t-\tGM rows\n"
      "ds:A,st:A\tP1150\treplace\tBank 1 Sensor 2=>Bank 2 Sensor 1\tupstream\n"
      "st:A\tP1102\ttitle\tO2S Heating Circuit Short to B+\tP1101's meaning\n"
      "st:A\t*\tdrop-containing\t Only\tGM rows\n"
      "st:A\t*\tdrop-like\tds:B\tFord rows\n"
      "generic-titles\tP0D2D\treplace\tSensor A\xE2\x80\x9D=>Sensor \xE2\x80\x9C" "A\xE2\x80\x9D\tquotes\n";
  std::vector<Correction> corrections;
  ASSERT_EQ(parseCorrections(table, "c", corrections), "");
  TextListRows lists;
  lists["ds:A"] = records({{"P1403", "EGR"}, {"P1404", "GM"}, {"P1460", "GM"}, {"P1150", "A/F (Bank 1 Sensor 2)"}});
  lists["st:A"] = records({{"P1150", "A/F Sensor (Bank 1 Sensor 2)"}, {"P1102", "O2S Heating Voltage Too Low"},
                           {"P1441", "EVAP Flow Chevrolet Only"}, {"P1392", "Glow Plug Circuit High Input"},
                           {"P1393", "Glow Plug Circuit High Input"}});
  lists["ds:B"] = records({{"P1392", "Glow Plug Circuit High Input Bank 2"}});
  std::vector<int> touched;
  ASSERT_EQ(applyCorrections(corrections, lists, {"generic-titles"}, touched), "");
  EXPECT_EQ(rowsOf(lists["ds:A"]), (Rows{{"P1403", "EGR"}, {"P1150", "A/F (Bank 2 Sensor 1)"}}));
  EXPECT_EQ(rowsOf(lists["st:A"]), (Rows{{"P1150", "A/F Sensor (Bank 2 Sensor 1)"},
                                          {"P1102", "O2S Heating Circuit Short to B+"},
                                          {"P1393", "Glow Plug Circuit High Input"}}));
  EXPECT_EQ(touched, (std::vector<int>{2, 2, 1, 1, 1, 0}));

  // The same table once the faults it mended are gone: stale corrections fail the build.
  TextListRows mended = lists;
  EXPECT_EQ(applyCorrections(corrections, mended, {"generic-titles"}, touched), "c:2: the correction touches no row");
  TextListRows noB = lists;
  noB.erase("ds:B");
  std::vector<Correction> likeOnly(corrections.begin() + 4, corrections.begin() + 5);
  EXPECT_EQ(applyCorrections(likeOnly, noB, {}, touched), "c:6: no list ds:B");
  lists["generic-titles"] = records({{"P0D2D", "Sensor A\x94 Circuit"}});
  std::vector<Correction> quotesOnly(corrections.begin() + 5, corrections.end());
  ASSERT_EQ(applyCorrections(quotesOnly, lists, {}, touched), "");
  EXPECT_EQ(lists["generic-titles"][0].definition, "Sensor \x93" "A\x94 Circuit");
}

// recode moves the one row whose title holds the words; add puts a missing code in; both
// refuse to make a list give a code twice, and a recode that matches no row is stale.
TEST(MakeCorrections, RecodeAndAdd) {
  const struct {
    const char* name;
    const char* line;
    Rows before, after;
    const char* error;
  } cases[] = {
      {"recode the second text", "h\tP1176\trecode\tShort #2=>P1177\tw",
       {{"P1176", "ETS Motor Open/Short #1"}, {"P1176", "ETS Motor Open/Short #2"}},
       {{"P1176", "ETS Motor Open/Short #1"}, {"P1177", "ETS Motor Open/Short #2"}}, ""},
      {"recode onto a code the list gives", "h\tP1176\trecode\tShort #2=>P1178\tw",
       {{"P1176", "ETS Motor Open/Short #2"}, {"P1178", "ETS Motor Battery Voltage Open"}}, {}, "c:1: h already gives P1178"},
      {"recode matching no row", "h\tP1176\trecode\tShort #3=>P1177\tw", {{"P1176", "ETS Motor Open/Short #2"}}, {},
       "c:1: the correction touches no row"},
      {"add a missing code", "h\tP1009\tadd\tVTC Advance Malfunction\tw", {{"P1010", "x"}},
       {{"P1010", "x"}, {"P1009", "VTC Advance Malfunction"}}, ""},
      {"add a code the list gives", "h\tP1009\tadd\tVTC Advance Malfunction\tw", {{"p1009", "x"}}, {},
       "c:1: h already gives P1009"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Correction> corrections;
    ASSERT_EQ(parseCorrections(c.line, "c", corrections), "");
    TextListRows lists;
    lists["h"] = records(c.before);
    std::vector<int> touched;
    EXPECT_EQ(applyCorrections(corrections, lists, {}, touched), c.error);
    if (std::string(c.error).empty()) {
      EXPECT_EQ(rowsOf(lists["h"]), c.after);
    }
  }
}

// A code a finished make section holds with two different texts is named with both, even
// where only their case differs (the look-up and a read would show the two); the same text
// twice (spaces aside) is one meaning.
TEST(MakeMerge, RepeatedCodes) {
  const std::vector<SourceRecord> section = records({{"P1176", "ETS Motor Open/Short #1"},
                                                      {"p1176", "ETS Motor Open/Short #2"},
                                                      {"P1602", "PCM Communication Error"},
                                                      {"P1602", "pcm communication error"},
                                                      {"P1603", "Immobilizer"},
                                                      {"P1603", " Immobilizer "},
                                                      {"P1780", "Transmission Control Switch"}});
  EXPECT_EQ(repeatedCodes(section),
            (std::vector<std::string>{"P1176: \"ETS Motor Open/Short #1\" | \"ETS Motor Open/Short #2\"",
                                      "P1602: \"PCM Communication Error\" | \"pcm communication error\""}));
}

TEST(MakeCorrections, ParseErrors) {
  const struct {
    const char* line;
    const char* error;
  } cases[] = {
      {"ds:A\tP1404-P1460\tdrop\t-\twhy", ""},
      {"ds:A\tP1460-P1404\tdrop\t-\twhy", "c:1: \"P1460-P1404\" is no code"},
      {"ds:A\tP1404-C1460\tdrop\t-\twhy", "c:1: \"P1404-C1460\" is no code"},
      {"ds:A\tP14G4\tdrop\t-\twhy", "c:1: \"P14G4\" is no code"},
      {"ds:A\tP1404\tdrop\tText\twhy", "c:1: drop takes no text"},
      {"ds:A\tP1404\ttitle\t-\twhy", "c:1: the action needs a text"},
      {"ds:A\tP1404\treplace\tno arrow\twhy", "c:1: replace needs"},
      {"ds:A\tP1404\trename\tx\twhy", "c:1: unknown action \"rename\""},
      {"ds:A\tP1404\ttitle\t\xE2\x82\xAC \xE2\x9C\x93\twhy", "c:1: text is not UTF-8 of Windows-1252"},
      {"ds:A\tP1404\tdrop\t-", "c:1: 5 tab-separated fields expected, found 4"},
      {"ds:A\tP1009-P1010\tadd\tVTC Advance\twhy", "c:1: add takes one code"},
      {"ds:A\t*\tadd\tVTC Advance\twhy", "c:1: add takes one code"},
      {"ds:A\tP1176\trecode\t#2=>P11G7\twhy", "c:1: recode: \"P11G7\" is no code"},
      {"ds:A\tP1176\trecode\t#2\twhy", "c:1: recode needs"},
  };
  for (const auto& c : cases) {
    std::vector<Correction> out;
    const std::string error = parseCorrections(c.line, "c", out);
    EXPECT_EQ(error.substr(0, std::string(c.error).size()), c.error) << c.line;
    if (std::string(c.error).empty()) {
      EXPECT_EQ(error, "");
    }
  }
}

}  // namespace
}  // namespace vx414
