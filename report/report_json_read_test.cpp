// A read back from its JSON: every member as written, and a damaged or foreign document
// refused with the reason and the place.
#include "report/report_json_read.h"

#include "report/vehicle_format.h"

#include <gtest/gtest.h>

#include <string>

namespace vx414 {
namespace {

TroubleCode code(std::string_view text) {
  const auto bytes = encodeTroubleCode(text);
  return decodeTroubleCode((*bytes)[0], (*bytes)[1]);
}

ReadReport carRead() {
  ReadReport read{LocalTime{2026, 12, 7, 22, 49, 1, -210}, "audi",
                  {{"Pending", "P0300", "Misfire \"random\"\n\u20AC", "engine"},
                   {"Stored", "P0171", "Lean", "engine, transmission"},
                   {"Permanent", "P0171", "Lean", "engine"}}};
  read.vehicle.vin = "WAUZZZ8K9BA123456";
  read.vehicle.modelYear = 2011;
  read.vehicle.mil = true;
  read.vehicle.readiness = {{"Misfire", MonitorState::Complete}, {"Catalyst", MonitorState::Incomplete},
                            {"EGR/VVT", MonitorState::NotSupported}};
  read.vehicle.inspection = "Not ready for the inspection (incomplete: Catalyst)";
  read.vehicle.inspectionVerdict = InspectionVerdict::NotReady;
  read.vehicle.incompleteMonitors = {"Catalyst"};
  read.vehicle.vinWarning = "check digit does not match: read it off the windscreen";
  read.vehicle.notRead = {{VehicleItem::Permanent, "no answer in time"}, {VehicleItem::Vin, "the read was stopped"}};
  read.vehicle.freezeFrame = FreezeFrame{code("P0171"), {{"Engine speed", 1726.5, "rpm"}, {"Coolant", -3.25, "\u00B0C"}}};
  return read;
}

TEST(ReportJsonRead, EachReadComesBackAsItWasWritten) {
  const ReadReport reader{LocalTime{2026, 1, 2, 3, 4, 5, 0}, "generic", {{"Stored", "P0420", "", ""}}};
  const ReadReport clean{LocalTime{2026, 1, 2, 3, 4, 5, 60}, "bmw", {}};
  ReadReport demo = carRead();
  demo.source = "emulator";
  ReadReport given = carRead();
  given.vehicle.modelYearGiven = true;
  given.codes[0].definitionSource = "generic";
  given.codes[1].definitionSource = "audi";
  const struct {
    const char* name;
    ReadReport read;
  } cases[] = {{"a read through an adapter", carRead()},
               {"the VX-414 reader's", reader},
               {"no codes", clean},
               {"an emulator's keeps its mark", demo},
               {"a year given, and whose each definition is", given}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadFromJson back = reportFromJson(reportAsJson(c.read));
    ASSERT_TRUE(back.report) << back.error;
    EXPECT_EQ(reportAsJson(*back.report), reportAsJson(c.read));
    EXPECT_EQ(back.report->time, c.read.time);
    EXPECT_EQ(back.report->codes, c.read.codes);
    EXPECT_EQ(back.report->fromEmulator(), c.read.fromEmulator());
  }
  // The units are rebuilt by name from the codes, for the report window's table.
  const ReadReport back = *reportFromJson(reportAsJson(carRead())).report;
  ASSERT_EQ(back.vehicle.units.size(), 2U);
  EXPECT_EQ(back.vehicle.units[0].name, "engine");
  EXPECT_EQ(back.vehicle.units[0].pending, (std::vector<TroubleCode>{code("P0300")}));
  EXPECT_EQ(back.vehicle.units[0].stored, (std::vector<TroubleCode>{code("P0171")}));
  EXPECT_EQ(back.vehicle.units[0].permanent, (std::vector<TroubleCode>{code("P0171")}));
  EXPECT_EQ(back.vehicle.units[1].name, "transmission");
  EXPECT_EQ(back.vehicle.permanent, (std::vector<TroubleCode>{code("P0171")}));
  EXPECT_EQ(vehicleAsText(back.vehicle), vehicleAsText(carRead().vehicle));
}

TEST(ReportJsonRead, ADamagedOrForeignDocumentSaysWhatAndWhere) {
  const std::string good = reportAsJson(carRead());
  const auto replaced = [&good](std::string_view from, std::string_view to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const struct {
    const char* name;
    std::string text;
    std::string error;  // the whole line
  } cases[] = {
      {"empty", "", "bad JSON at byte 1: the text ends where a value should be"},
      {"cut off", good.substr(0, good.find("WAUZZZ")),
       "bad JSON at byte " + std::to_string(good.find("WAUZZZ") + 1) + ": the text ends inside a string"},
      {"text after it", good + "x", "bad JSON at byte " + std::to_string(good.size() + 1) + ": text after the document"},
      {"a bad escape", "{\"a\": \"\\q\"}", "bad JSON at byte 9: an unknown escape"},
      {"half a surrogate", "[\"\\ud800x\"]", "bad JSON at byte 9: half a surrogate pair"},
      {"a raw line break in a text", "[\"a\nb\"]", "bad JSON at byte 4: a control character inside a string"},
      {"nested without end", std::string(40, '['), "bad JSON at byte 18: nested too deep"},
      {"not an object", "[1, 2]", "not a vx414 read at byte 1: the document is not an object"},
      {"another program's", "{\"name\": \"x\"}", "not a vx414 read at byte 1: no \"version\" this program reads"},
      {"a later version", replaced("\"version\": 5", "\"version\": 6"),
       "not a vx414 read at byte 16: no \"version\" this program reads"},
      {"a bad time", replaced("2026-12-07T22:49:01-03:30", "2026-13-07T22:49:01-03:30"),
       "not a vx414 read at byte 29: \"time\" is not a time as 2026-12-07T22:49:01+01:00"},
      {"a code that is none", replaced("\"code\": \"P0300\"", "\"code\": \"X0300\""),
       "not a vx414 read at byte " + std::to_string(good.find("{\"kind\": \"Pending\"") + 1) +
           ": \"X0300\" is not a trouble code"},
      {"an unknown kind", replaced("\"kind\": \"Pending\"", "\"kind\": \"Old\""),
       "not a vx414 read at byte " + std::to_string(good.find("{\"kind\": \"Pending\"") + 1) +
           ": a code of kind \"Old\""},
      {"codes missing", replaced("\"codes\"", "\"kodes\""), "not a vx414 read at byte 1: no \"codes\" list"},
      {"an unknown verdict", replaced("\"not_ready\"", "\"maybe\""),
       "not a vx414 read at byte " + std::to_string(good.find("\"not_ready\"") + 1) +
           ": \"inspection_verdict\" is none of ready, not_ready, fails"},
      {"a source that is none", replaced("\"source\": null", "\"source\": \"bench\""),
       "not a vx414 read at byte " + std::to_string(good.find("\"source\"") + 11) + ": a source \"bench\""},
      {"a given year that is no truth value", replaced("\"model_year_given\": false", "\"model_year_given\": 1"),
       "not a vx414 read at byte " + std::to_string(good.find("\"model_year_given\"") + 21) +
           ": \"model_year_given\" is neither true nor false"},
      {"an unknown item not read", replaced("[\"permanent\"", "[\"radio\""),
       "not a vx414 read at byte 1: an item not read named \"radio\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadFromJson back = reportFromJson(c.text);
    EXPECT_FALSE(back.report);
    EXPECT_EQ(back.error, c.error);
  }
}

}  // namespace
}  // namespace vx414
