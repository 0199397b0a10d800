// The make texts of the shipped data file (built beside the program): what a mechanic
// reads for a make's own codes, against public manufacturer code lists, and the rows the
// build's corrections mend.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "definitions/code_ranges.h"
#include "definitions/codepage.h"
#include "definitions/data_file.h"
#include "definitions/definitions_table.h"
#include "definitions/make_sections.h"

namespace vx414 {
namespace {

std::string shippedFile() {
  const char* folder = std::getenv("VX414_BUILD_DIR");
  return std::string(folder != nullptr ? folder : ".") + "/VX-414.dis";
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// What the result table shows for a code with the make chosen.
class Shipped {
 public:
  Shipped() { EXPECT_TRUE(file_.open(shippedFile()).ok()) << shippedFile(); }
  std::string definition(std::string_view make, std::string_view code) {
    const DefinitionsTable& table = loaded(make);
    const int row = table.rowForCode(code);
    return row < 0 ? std::string() : windows1252ToUtf8(table.rows()[static_cast<std::size_t>(row)].definition);
  }
  const DefinitionsTable& loaded(std::string_view make) {
    auto found = tables_.find(std::string(make));
    if (found != tables_.end()) return found->second;
    DefinitionsTable& table = tables_[std::string(make)];
    const DataFileStatus status = table.load(file_, *findMake(make));
    EXPECT_TRUE(status.ok()) << make << ": " << describe(status);
    return table;
  }

 private:
  DataFile file_;
  std::map<std::string, DefinitionsTable> tables_;
};

struct Expected {
  const char* make;
  const char* code;
  std::vector<const char*> words;  // each in the definition, without regard to case
  std::vector<const char*> notWords = {};
};

void expectAll(Shipped& shipped, const std::vector<Expected>& cases) {
  for (const Expected& c : cases) {
    const std::string text = lower(shipped.definition(c.make, c.code));
    SCOPED_TRACE(std::string(c.make) + " " + c.code + ": \"" + text + "\"");
    for (const char* word : c.words) EXPECT_NE(text.find(lower(word)), std::string::npos) << word;
    for (const char* word : c.notWords) EXPECT_EQ(text.find(lower(word)), std::string::npos) << word;
  }
}

// Written from public manufacturer code lists and service information, not from the files
// the data file is built from: five codes for each of ten makes.
TEST(ShippedMakeTexts, PublicMeanings) {
  Shipped shipped;
  expectAll(shipped, {
      // Chrysler / Dodge service information and owners' reports (P1281 "Engine Is Cold Too Long").
      {"chrysler", "P1281", {"cold"}},
      {"chrysler", "P1282", {"fuel pump", "relay"}},
      {"chrysler", "P1491", {"fan", "relay"}},
      {"chrysler", "P1594", {"charging", "high"}},
      {"chrysler", "P1684", {"battery", "disconnect"}},
      // GM service information (Chevrolet Aveo P1133, Express P1345).
      {"chevrolet", "P1133", {"HO2S", "insufficient switching"}},
      {"chevrolet", "P1345", {"correlation"}},
      {"chevrolet", "P1626", {"theft deterrent", "fuel enable"}},
      {"chevrolet", "P1870", {"transmission", "slipping"}},
      {"chevrolet", "P1635", {"5 volt reference"}},
      // Ford's EEC-V list.
      {"ford", "P1000", {"monitor", "complete"}},
      {"ford", "P1131", {"upstream", "lean"}},
      {"ford", "P1260", {"theft"}},
      {"ford", "P1351", {"ignition diagnostic monitor"}},
      {"ford", "P1400", {"pressure feedback", "low"}},
      // Toyota repair manuals (P1656 "OCV Circuit Malfunction", P1155 bank 2 sensor 1).
      {"toyota", "P1300", {"igniter"}},
      {"toyota", "P1349", {"VVT"}},
      {"toyota", "P1600", {"ECM", "BATT"}},
      {"toyota", "P1656", {"OCV"}},
      {"toyota", "P1155", {"heater", "bank 2 sensor 1"}},
      // Honda / Acura service information.
      {"honda", "P1259", {"VTEC"}},
      {"honda", "P1361", {"TDC", "intermittent"}},
      {"honda", "P1456", {"leak", "fuel tank"}},
      {"honda", "P1457", {"leak", "canister"}},
      {"honda", "P1491", {"EGR", "lift", "insufficient"}},
      // Nissan engine control manuals.
      {"nissan", "P1148", {"closed loop"}},
      {"nissan", "P1320", {"ignition signal"}},
      {"nissan", "P1335", {"(REF)"}},
      {"nissan", "P1400", {"EGRC", "solenoid"}},
      {"nissan", "P1446", {"vent control valve"}},
      // Subaru service manuals.
      {"subaru", "P1400", {"fuel tank pressure", "solenoid"}},
      {"subaru", "P1443", {"vent control"}},
      {"subaru", "P1500", {"radiator fan relay"}},
      {"subaru", "P1502", {"radiator fan"}},
      {"subaru", "P1507", {"idle control"}},
      // Volkswagen / Audi fault code lists.
      {"volkswagen", "P1102", {"heating", "B+"}, {"too low"}},
      {"volkswagen", "P1136", {"fuel trim", "lean"}},
      {"volkswagen", "P1296", {"cooling system"}},
      {"volkswagen", "P1570", {"locked"}},
      {"volkswagen", "P1602", {"terminal", "30"}},
      // Jaguar powertrain DTC summaries (S-Type / X-Type).
      {"jaguar", "P1000", {"readiness", "not complete"}},
      {"jaguar", "P1100", {"MAF", "intermittent"}, {"check of all"}},
      {"jaguar", "P1104", {"mass air flow", "ground"}},
      {"jaguar", "P1313", {"misfire", "catalyst", "bank 1"}},
      {"jaguar", "P1314", {"misfire", "catalyst", "bank 2"}},
      // Mazda's code list.
      {"mazda", "P1000", {"monitor", "not complete"}},
      {"mazda", "P1100", {"mass air", "intermittent"}},
      {"mazda", "P1101", {"self-test range"}},
      {"mazda", "P1112", {"intake air temperature", "intermittent"}},
      {"mazda", "P1117", {"ECT", "intermittent"}},
  });
}

// The rows the build's corrections mend, and the families: a Chrysler-group make shows
// Chrysler's meaning, never GM's.
TEST(ShippedMakeTexts, MendedRows) {
  Shipped shipped;
  expectAll(shipped, {
      {"chrysler", "P1281", {"cold too long"}, {"accelerator"}},
      {"jeep", "P1281", {"temp"}, {"accelerator"}},
      {"plymouth", "P1281", {"temp"}, {"accelerator"}},
      {"dodge", "P1695", {"J1850"}},
      {"toyota", "P1150", {"bank 2 sensor 1"}, {"sensor 2"}},
      {"toyota", "P1153", {"bank 2 sensor 1"}, {"sensor 2"}},
      {"lexus", "P1155", {"heater", "bank 2 sensor 1"}},
      {"jaguar", "P1392", {"valve timing"}, {"glow plug"}},
      {"jaguar", "P1171", {"lean"}, {"rotor"}},
      {"ford", "P1114", {"intake air temperature"}, {"coolant"}},
      {"ford", "P1127", {"not warm enough"}},
      {"buick", "P1483", {"cooling system"}},
      {"buick", "P1842", {"1-2 shift"}},
      {"generic", "C0750", {"left front"}},
      {"generic", "C0755", {"right front"}},
      {"generic", "C0760", {"left rear"}},
      {"generic", "C0765", {"right rear"}},
      {"generic", "P0D2D", {"sensor \xE2\x80\x9C" "A\xE2\x80\x9D circuit"}},
      {"generic", "U015F", {"module \xE2\x80\x9C" "B\xE2\x80\x9D"}},
      // The second review: wrong direction, wrong bank, glued titles, missing maker codes
      // (sources in data/dtc-makes/corrections.tsv).
      {"ford", "P1383", {"over-retarded", "bank 1"}, {"advance"}},
      {"mercury", "P1383", {"retarded"}, {"advance"}},
      {"chevrolet", "P1416", {"secondary air", "bank 2"}, {"bank 1"}},
      {"pontiac", "P1415", {"secondary air", "bank 1"}},
      {"ford", "P1106", {"dual alternator lower fault"}, {"MAP", "pressure"}},
      {"lincoln", "P1107", {"dual alternator lower circuit"}, {"MAP", "pressure"}},
      {"ford", "P1404", {"intake air temperature sensor b"}, {"exhaust gas recirculation"}},
      {"subaru", "P1301", {"misfire", "high temperature exhaust"}, {"fire due"}},
      {"acura", "P1009", {"valve timing", "advance"}},
      {"honda", "P1009", {"valve timing", "advance"}},
      {"hyundai", "P1326", {"knock sensor detection"}},
      {"hyundai", "P1177", {"ETS motor", "#2"}},
      {"nissan", "P1610", {"lock mode"}},
      {"infiniti", "P1610", {"lock mode"}},
      {"toyota", "B2795", {"unmatched key code"}},
      {"mercedes-benz", "P1570", {"start enable", "drive authorization"}},
      {"mitsubishi", "P1603", {"battery backup"}},
      {"mazda", "P1780", {"transmission control switch", "self-test"}},
      {"subaru", "P1121", {"neutral position switch", "M/T", "A/T"}},
  });
  EXPECT_EQ(shipped.definition("opel", "P1133"), "");
  EXPECT_EQ(shipped.definition("vauxhall", "P1626"), "");
  for (const char* make : {"chrysler", "dodge", "jeep", "plymouth"}) {
    const DefinitionsTable& table = shipped.loaded(make);
    for (int row = table.genericCount(); row < table.rowCount(); ++row) {
      const std::string text = lower(table.rows()[static_cast<std::size_t>(row)].definition);
      for (const char* gm : {"class 2", "pass-key", "vses", "tcc pwm"}) {
        EXPECT_EQ(text.find(gm), std::string::npos) << make << " " << table.rows()[static_cast<std::size_t>(row)].code;
      }
    }
  }
}

// One meaning per make and code, and no make text for a code the standard defines (its SAE
// title holds for every make): over every make of the list, generic rows left aside.
TEST(ShippedMakeTexts, OneMeaningPerCodeNoStandardCodes) {
  Shipped shipped;
  int makesWithTexts = 0;
  for (const MakeSection& make : kMakeSections) {
    const DefinitionsTable& table = shipped.loaded(make.name);
    std::map<std::string, std::string> seen;
    for (int row = table.genericCount(); row < table.rowCount(); ++row) {
      const auto& record = table.rows()[static_cast<std::size_t>(row)];
      if (record.code.empty()) continue;  // the section's heading
      makesWithTexts += seen.empty() ? 1 : 0;
      SCOPED_TRACE(std::string(make.name) + " " + record.code);
      EXPECT_TRUE(isManufacturerRange(record.code)) << "a code the standard defines";
      const auto [at, first] = seen.emplace(record.code, record.definition);
      EXPECT_TRUE(first) << "twice: \"" << at->second << "\" and \"" << record.definition << "\"";
    }
  }
  EXPECT_EQ(makesWithTexts, 36);
}

}  // namespace
}  // namespace vx414
