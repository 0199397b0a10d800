#include "report/report_format.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace vx414 {
namespace {

using Records = std::vector<std::vector<std::string>>;

// A strict reader of delimited text: quoted fields with doubled quotes inside, every record
// ended by lineEnd; anything else (a bare quote, a stray line break, a missing last line
// end, text after a closing quote) is refused.
std::optional<Records> readDelimited(const std::string& text, char separator,
                                     const std::string& lineEnd) {
  Records records;
  std::vector<std::string> record;
  std::string field;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '"') {
      ++i;
      while (true) {
        if (i >= text.size()) return std::nullopt;  // unclosed quote
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += text[i++];
      }
    } else {
      while (i < text.size() && text[i] != separator && text[i] != '\r' && text[i] != '\n') {
        if (text[i] == '"') return std::nullopt;  // a quote inside an unquoted field
        field += text[i++];
      }
    }
    if (i < text.size() && text[i] == separator) {
      record.push_back(field);
      field.clear();
      ++i;
      continue;
    }
    if (text.compare(i, lineEnd.size(), lineEnd) != 0) return std::nullopt;
    record.push_back(field);
    field.clear();
    records.push_back(record);
    record.clear();
    i += lineEnd.size();
  }
  if (!record.empty() || !field.empty()) return std::nullopt;
  return records;
}

// Plain tab-separated text as a spreadsheet pastes it: a row a line, a field between tabs,
// no quoting at all.
Records readPlainTab(const std::string& text) {
  Records records;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "no line end after the last row";
      break;
    }
    std::vector<std::string> fields;
    const std::string line = text.substr(start, end - start);
    std::size_t from = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', from)) {
      fields.push_back(line.substr(from, tab - from));
      from = tab + 1;
    }
    fields.push_back(line.substr(from));
    records.push_back(fields);
    start = end + 1;
  }
  return records;
}

QJsonObject parseJson(const std::string& text) {
  QJsonParseError error{};
  const QJsonDocument doc =
      QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text;
  EXPECT_TRUE(doc.isObject());
  return doc.object();
}

std::string utf8(const QJsonValue& value) { return value.toString().toStdString(); }

// Definitions as the data file gives them, and the UTF-8 a reader of the output must see.
struct AwkwardText {
  std::string bytes;
  std::string utf8;
  std::string pasted = {};  // the field on the clipboard, where tabs or line breaks make it differ
};
const std::vector<AwkwardText> kAwkward = {
    {"System too lean, bank 1", "System too lean, bank 1"},
    {"Sensor \"A\" circuit", "Sensor \"A\" circuit"},
    {"\"", "\""},
    {"tab\there", "tab\there", "tab here"},
    {"two\nlines", "two\nlines", "two lines"},
    {"carriage\r\nreturn", "carriage\r\nreturn", "carriage return"},
    {"\x80 \x93quoted\x94 \x96 \x85", "\u20AC \u201Cquoted\u201D \u2013 \u2026"},
    {"\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D"},  // bytes Windows-1252 leaves undefined
    {"\x9F \xE9", "\u0178 \u00E9"},
    {"back\\slash", "back\\slash"},
    {"", ""},
    {"  spaced  ", "  spaced  "},
    {"lone\rreturn\t\t", "lone\rreturn\t\t", "lone return  "},
};

const std::string& pastedOf(const AwkwardText& t) { return t.pasted.empty() ? t.utf8 : t.pasted; }

ReadReport awkwardRead() {
  std::vector<std::string> codes;
  std::vector<DataCode> data;
  codes.reserve(kAwkward.size());
  for (std::size_t i = 0; i < kAwkward.size(); ++i) codes.push_back("P0" + std::to_string(100 + i));
  for (std::size_t i = 0; i < kAwkward.size(); ++i) {
    data.push_back({i < 5 ? "Pending" : "Stored", codes[i], kAwkward[i].bytes});
  }
  return reportFromRead(LocalTime{2026, 12, 7, 22, 49, 1, -210}, "Make, \"Quoted\"", data);
}

TEST(ReportFormat, TurnsDataBytesIntoUtf8) {
  const ReadReport report = awkwardRead();
  ASSERT_EQ(report.total(), kAwkward.size());
  for (std::size_t i = 0; i < kAwkward.size(); ++i) {
    EXPECT_EQ(report.codes[i].definition, kAwkward[i].utf8) << i;
    EXPECT_EQ(report.codes[i].kind, i < 5 ? "Pending" : "Stored");
  }
}

TEST(ReportFormat, EachFormReadsBackAsTheRead) {
  const ReadReport report = awkwardRead();

  const Records tab = readPlainTab(reportAsTabText(report));
  ASSERT_EQ(tab.size(), report.total() + 1) << reportAsTabText(report);
  EXPECT_EQ(tab[0], (std::vector<std::string>{"TYPE", "Vehicle", "Code", "Definition"}));
  for (std::size_t i = 0; i < report.total(); ++i) {
    const ReportCode& c = report.codes[i];
    EXPECT_EQ(tab[i + 1], (std::vector<std::string>{c.kind, "Make, \"Quoted\"", c.code, pastedOf(kAwkward[i])})) << i;
  }

  const auto csv = readDelimited(reportAsCsv(report), ',', "\r\n");
  ASSERT_TRUE(csv) << reportAsCsv(report);
  EXPECT_EQ(reportAsCsv(report, CsvHeader::Without),
            reportAsCsv(report).substr(std::string("time,make,kind,code,definition,unit,vin,source\r\n").size()));
  ASSERT_EQ(csv->size(), report.total() + 1);
  EXPECT_EQ((*csv)[0], (std::vector<std::string>{"time", "make", "kind", "code", "definition", "unit", "vin", "source"}));
  for (std::size_t i = 0; i < report.total(); ++i) {
    const ReportCode& c = report.codes[i];
    EXPECT_EQ((*csv)[i + 1], (std::vector<std::string>{"2026-12-07T22:49:01-03:30", "Make, \"Quoted\"",
                                                       c.kind, c.code, kAwkward[i].utf8, "", "", ""}));
  }

  const QJsonObject json = parseJson(reportAsJson(report));
  EXPECT_EQ(utf8(json["make"]), "Make, \"Quoted\"");
  const QDateTime time = QDateTime::fromString(json["time"].toString(), Qt::ISODate);
  ASSERT_TRUE(time.isValid()) << utf8(json["time"]);
  EXPECT_EQ(time.offsetFromUtc(), -210 * 60);
  EXPECT_EQ(time.toUTC(), QDateTime(QDate(2026, 12, 8), QTime(2, 19, 1), Qt::UTC));
  EXPECT_EQ(json["total"].toInt(-1), static_cast<int>(report.total()));
  const QJsonArray codes = json["codes"].toArray();
  ASSERT_EQ(codes.size(), static_cast<qsizetype>(report.total()));
  for (std::size_t i = 0; i < report.total(); ++i) {
    const QJsonObject c = codes[static_cast<qsizetype>(i)].toObject();
    EXPECT_EQ(c.size(), 5);
    EXPECT_TRUE(c["definition_source"].isNull());  // the read gave no source
    EXPECT_EQ(utf8(c["unit"]), "");
    EXPECT_EQ(utf8(c["kind"]), report.codes[i].kind);
    EXPECT_EQ(utf8(c["code"]), report.codes[i].code);
    EXPECT_EQ(utf8(c["definition"]), kAwkward[i].utf8) << i;
  }
}

TEST(ReportFormat, ReadWithoutCodesGivesHeadersAndAnEmptyArray) {
  const ReadReport empty{LocalTime{2026, 1, 2, 3, 4, 5, 0}, "generic", {}};
  // CSV keeps a row for a clean car; without the header (a log appended to) only that row.
  EXPECT_EQ(reportAsCsv(empty),
            "time,make,kind,code,definition,unit,vin,source\r\n2026-01-02T03:04:05+00:00,generic,None,,,,,\r\n");
  EXPECT_EQ(reportAsCsv(empty, CsvHeader::Without), "2026-01-02T03:04:05+00:00,generic,None,,,,,\r\n");
  EXPECT_EQ(reportAsTabText(empty), "TYPE\tVehicle\tCode\tDefinition\n");
  const QJsonObject json = parseJson(reportAsJson(empty));
  EXPECT_TRUE(json["codes"].isArray());
  EXPECT_TRUE(json["codes"].toArray().isEmpty());
  EXPECT_EQ(json["total"].toInt(-1), 0);
  EXPECT_EQ(utf8(json["time"]), "2026-01-02T03:04:05+00:00");
  EXPECT_EQ(utf8(json["make"]), "generic");
}

TEST(ReportFormat, CsvCarriesTheVinAndTheSourceInEveryRowAfterTheUnit) {
  // The columns of older files keep their places, so a workshop's script that reads them by
  // position reads this file too; the VIN stands in each row so that a log tells cars apart,
  // and the source so that no row of an emulator's read passes for a car's, in CSV or JSON.
  const std::string heading = "time,make,kind,code,definition,unit,vin,source\r\n";
  const std::string time = "2026-01-02T03:04:05+00:00";
  const struct {
    const char* name;
    std::string vin;
    std::string source;
    std::vector<ReportCode> codes;
    CsvHeader header;
    std::string rows;  // after the heading, when there is one
  } cases[] = {
      {"the VX-414 reader reads no VIN", "", "", {{"Stored", "P0420", "Catalyst", ""}}, CsvHeader::With,
       time + ",audi,Stored,P0420,Catalyst,,,\r\n"},
      {"a VIN in each row", "WAUZZZ8K9BA123456", "",
       {{"Pending", "P0300", "Misfire", "engine"}, {"Permanent", "P0171", "Lean", "engine, transmission"}},
       CsvHeader::With,
       time + ",audi,Pending,P0300,Misfire,engine,WAUZZZ8K9BA123456,\r\n" + time +
           ",audi,Permanent,P0171,Lean,\"engine, transmission\",WAUZZZ8K9BA123456,\r\n"},
      {"a clean car keeps its VIN", "WAUZZZ8K9BA123456", "", {}, CsvHeader::With,
       time + ",audi,None,,,,WAUZZZ8K9BA123456,\r\n"},
      {"appended to a log", "1FAHP3F27CL123456", "", {{"Stored", "P0420", "", "7E8"}}, CsvHeader::Without,
       time + ",audi,Stored,P0420,,7E8,1FAHP3F27CL123456,\r\n"},
      {"an emulator's read is marked in each row", "", "emulator",
       {{"Pending", "P0300", "Misfire", "7E8"}, {"Stored", "C1234", "", "7E8"}}, CsvHeader::With,
       time + ",audi,Pending,P0300,Misfire,7E8,,emulator\r\n" + time + ",audi,Stored,C1234,,7E8,,emulator\r\n"},
      {"and its clean car's row too", "", "emulator", {}, CsvHeader::Without,
       time + ",audi,None,,,,,emulator\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ReadReport report{LocalTime{2026, 1, 2, 3, 4, 5, 0}, "audi", c.codes};
    report.vehicle.vin = c.vin;
    report.source = c.source;
    const std::string csv = reportAsCsv(report, c.header);
    EXPECT_EQ(csv, (c.header == CsvHeader::With ? heading : "") + c.rows);
    const auto records = readDelimited(csv, ',', "\r\n");
    ASSERT_TRUE(records);
    for (const auto& record : *records) EXPECT_EQ(record.size(), 8U);
    const QJsonObject json = parseJson(reportAsJson(report));
    EXPECT_EQ(json["version"].toInt(), ReportJsonVersion);
    if (c.source.empty()) {
      EXPECT_TRUE(json["source"].isNull());  // a car's read carries no mark
    } else {
      EXPECT_EQ(utf8(json["source"]), c.source);
    }
  }
}

TEST(ReportFormat, TextThatIsNotUtf8StillGivesValidOutput) {
  // A stray continuation byte, a cut-off sequence, an overlong '/', a surrogate: each bad
  // byte becomes U+FFFD and the good characters around it stay.
  const ReadReport report{LocalTime{}, "generic",
                          {{"Stored", "P0100", "a\x80" "b\xE2\x82 c\xC0\xAF d\xED\xA0\x80 \u00E9"}}};
  const std::string expected = "a\uFFFD" "b\uFFFD\uFFFD c\uFFFD\uFFFD d\uFFFD\uFFFD\uFFFD \u00E9";
  const QJsonObject json = parseJson(reportAsJson(report));
  EXPECT_EQ(utf8(json["codes"].toArray()[0].toObject()["definition"]), expected);
  const auto csv = readDelimited(reportAsCsv(report), ',', "\r\n");
  ASSERT_TRUE(csv);
  EXPECT_EQ(csv->at(1).at(4), expected);
}

TEST(ReportFormat, TimesCarryTheirOffset) {
  const struct {
    LocalTime time;
    const char* iso;
    const char* readable;
  } cases[] = {
      {{2026, 12, 7, 22, 49, 1, 0}, "2026-12-07T22:49:01+00:00", "2026-12-07 22:49:01 UTC+00:00"},
      {{2026, 3, 9, 8, 5, 0, 60}, "2026-03-09T08:05:00+01:00", "2026-03-09 08:05:00 UTC+01:00"},
      {{1999, 12, 31, 23, 59, 59, -210}, "1999-12-31T23:59:59-03:30", "1999-12-31 23:59:59 UTC-03:30"},
      {{2026, 6, 1, 0, 0, 0, 345}, "2026-06-01T00:00:00+05:45", "2026-06-01 00:00:00 UTC+05:45"},
      {{2026, 6, 1, 0, 0, 0, -30}, "2026-06-01T00:00:00-00:30", "2026-06-01 00:00:00 UTC-00:30"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isoTime(c.time), c.iso);
    EXPECT_EQ(readableTime(c.time), c.readable);
  }

  // The C library's zone: five hours forty-five east, and three and a half west, of UTC.
  const char* const saved = std::getenv("TZ");
  const std::string savedZone = saved ? saved : "";
  setenv("TZ", "<+0545>-5:45", 1);
  tzset();
  EXPECT_EQ(localTimeOf(0), (LocalTime{1970, 1, 1, 5, 45, 0, 345}));
  setenv("TZ", "<-0330>3:30", 1);
  tzset();
  EXPECT_EQ(localTimeOf(86400), (LocalTime{1970, 1, 1, 20, 30, 0, -210}));
  if (saved) {
    setenv("TZ", savedZone.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(GlossaryFormat, EachFormReadsBackAsTheGlossary) {
  std::vector<GlossaryText> entries;
  for (const AwkwardText& t : kAwkward) entries.push_back(glossaryTextFromData(t.bytes, t.bytes + ", ok"));
  ASSERT_EQ(entries[6].term, kAwkward[6].utf8);

  const Records tab = readPlainTab(glossaryAsTabText(entries));
  const auto csv = readDelimited(glossaryAsCsv(entries), ',', "\r\n");
  ASSERT_TRUE(csv);
  const QJsonObject json = parseJson(glossaryAsJson(entries));
  const QJsonArray array = json["entries"].toArray();
  ASSERT_EQ(tab.size(), entries.size() + 1);
  ASSERT_EQ(csv->size(), entries.size() + 1);
  ASSERT_EQ(array.size(), static_cast<qsizetype>(entries.size()));
  EXPECT_EQ(json["total"].toInt(-1), static_cast<int>(entries.size()));
  EXPECT_EQ(tab[0], (std::vector<std::string>{"TERM", "DIFINITION"}));
  EXPECT_EQ((*csv)[0], (std::vector<std::string>{"term", "definition"}));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::vector<std::string> expected{kAwkward[i].utf8, kAwkward[i].utf8 + ", ok"};
    EXPECT_EQ(tab[i + 1], (std::vector<std::string>{pastedOf(kAwkward[i]), pastedOf(kAwkward[i]) + ", ok"})) << i;
    EXPECT_EQ((*csv)[i + 1], expected) << i;
    const QJsonObject e = array[static_cast<qsizetype>(i)].toObject();
    EXPECT_EQ((std::vector<std::string>{utf8(e["term"]), utf8(e["definition"])}), expected) << i;
  }

  EXPECT_EQ(glossaryAsCsv({}), "term,definition\r\n");
  EXPECT_EQ(glossaryAsCsv(entries, CsvHeader::Without), glossaryAsCsv(entries).substr(std::string("term,definition\r\n").size()));
  EXPECT_TRUE(parseJson(glossaryAsJson({}))["entries"].toArray().isEmpty());
}

}  // namespace
}  // namespace vx414
