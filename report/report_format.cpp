#include "report/report_format.h"

#include "definitions/codepage.h"
#include "report/format_primitives.h"
#include "report/vehicle_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace vx414 {
namespace {

// ---- UTF-8 ------------------------------------------------------------------------------

// The length of the well-formed UTF-8 sequence at text[i], or 0 when it is not one
// (a stray continuation byte, a cut-off sequence, an overlong form, a surrogate, or beyond
// U+10FFFF).
std::size_t validSequenceAt(std::string_view text, std::size_t i) {
  const auto byteAt = [&text](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const std::uint8_t lead = byteAt(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byteAt(i + 1) < low || byteAt(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if ((byteAt(i + k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

namespace format {

void appendValidUtf8(std::string& out, std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length = validSequenceAt(text, i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
}

// ---- Delimited text (CSV and tab-separated) --------------------------------------------

// Spreadsheets read tab-separated text from the clipboard by the same quoting rule as CSV.
void appendField(std::string& out, std::string_view field, char separator) {
  const bool quoted = field.find_first_of(std::string{separator, '"', '\r', '\n'}) !=
                      std::string_view::npos;
  if (!quoted) {
    appendValidUtf8(out, field);
    return;
  }
  out += '"';
  std::size_t start = 0;
  for (std::size_t q = field.find('"'); q != std::string_view::npos; q = field.find('"', start)) {
    appendValidUtf8(out, field.substr(start, q - start));
    out += "\"\"";
    start = q + 1;
  }
  appendValidUtf8(out, field.substr(start));
  out += '"';
}

void appendRecord(std::string& out, std::initializer_list<std::string_view> fields, char separator,
                  std::string_view lineEnd) {
  bool first = true;
  for (const std::string_view field : fields) {
    if (!first) out += separator;
    first = false;
    appendField(out, field, separator);
  }
  out += lineEnd;
}

// Tab-separated text for the clipboard is plain: every field as it is, unquoted, so a
// quote in a definition pastes as a quote. A tab or a line break inside a field would cut
// the row, so each becomes one space (a CR LF pair one space, not two).
void appendPlainField(std::string& out, std::string_view field) {
  std::string flat;
  flat.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (c == '\r' && i + 1 < field.size() && field[i + 1] == '\n') continue;
    flat += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
  }
  appendValidUtf8(out, flat);
}

void appendPlainRecord(std::string& out, std::initializer_list<std::string_view> fields) {
  bool first = true;
  for (const std::string_view field : fields) {
    if (!first) out += '\t';
    first = false;
    appendPlainField(out, field);
  }
  out += '\n';
}

// ---- JSON --------------------------------------------------------------------------------

void appendJsonString(std::string& out, std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  appendValidUtf8(valid, text);
  out += '"';
  for (const char c : valid) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<std::uint8_t>(c) < 0x20) {
          std::array<char, 8> escape{};
          std::snprintf(escape.data(), escape.size(), "\\u%04x", static_cast<unsigned>(c));
          out += escape.data();
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void appendJsonNumber(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  std::array<char, 32> text{};
  const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{}) {
    out += "null";
    return;
  }
  out.append(text.data(), end);
}

}  // namespace format

namespace {

using namespace format;

constexpr char kComma = ',';
constexpr std::string_view kCrLf = "\r\n";

// {"a": "x", "b": "y"} for the given names and texts, on one line.
void appendJsonObject(std::string& out,
                      std::initializer_list<std::pair<std::string_view, std::string_view>> members) {
  out += '{';
  bool first = true;
  for (const auto& [name, value] : members) {
    if (!first) out += ", ";
    first = false;
    appendJsonString(out, name);
    out += ": ";
    appendJsonString(out, value);
  }
  out += '}';
}

// The members of an array, one object a line, closed by "]".
template <typename Item, typename Write>
void appendJsonArray(std::string& out, std::span<const Item> items, Write write) {
  if (items.empty()) {
    out += "[]";
    return;
  }
  out += "[\n";
  for (std::size_t i = 0; i < items.size(); ++i) {
    out += "    ";
    write(out, items[i]);
    out += i + 1 < items.size() ? ",\n" : "\n";
  }
  out += "  ]";
}

}  // namespace

// ---- Time ----------------------------------------------------------------------------------

LocalTime localTimeOf(std::time_t moment) {
  std::tm parts{};
  if (localtime_r(&moment, &parts) == nullptr) return LocalTime{};
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                   parts.tm_min, parts.tm_sec, static_cast<int>(parts.tm_gmtoff / 60)};
}

LocalTime localTimeNow() { return localTimeOf(std::time(nullptr)); }

namespace {
std::string formatTime(const LocalTime& t, const char* dateTimeSeparator, const char* offsetPrefix) {
  const int offset = std::abs(t.utcOffsetMinutes);
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "%04d-%02d-%02d%s%02d:%02d:%02d%s%c%02d:%02d", t.year,
                t.month, t.day, dateTimeSeparator, t.hour, t.minute, t.second, offsetPrefix,
                t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text.data();
}
}  // namespace

std::string isoTime(const LocalTime& time) { return formatTime(time, "T", ""); }

std::string readableTime(const LocalTime& time) { return formatTime(time, " ", " UTC"); }

// ---- The read ----------------------------------------------------------------------------

ReportCode codeFromData(std::string_view kind, std::string_view code,
                        std::string_view definitionBytes) {
  return ReportCode{windows1252ToUtf8(kind), windows1252ToUtf8(code),
                    windows1252ToUtf8(definitionBytes)};
}

ReadReport reportFromRead(const LocalTime& time, std::string_view make,
                          std::span<const DataCode> codes) {
  ReadReport report{time, std::string(make), {}, {}};
  report.codes.reserve(codes.size());
  for (const DataCode& c : codes) {
    ReportCode code = codeFromData(c.kind, c.code, c.definitionBytes);
    code.definitionSource = std::string(c.definitionSource);
    code.note = std::string(c.note);
    report.codes.push_back(std::move(code));
  }
  return report;
}

std::string reportAsTabText(const ReadReport& report) {
  std::string out;
  appendPlainRecord(out, {"TYPE", "Vehicle", "Code", "Definition"});
  for (const ReportCode& c : report.codes)
    appendPlainRecord(out, {c.kind, report.make, c.code, c.definition.empty() ? c.note : c.definition});
  if (hasVehicleDetails(report.vehicle)) out += "\n" + vehicleAsTabText(report.vehicle);
  return out;
}

std::string reportAsCsv(const ReadReport& report, CsvHeader header) {
  std::string out;
  const std::string time = isoTime(report.time);
  // New columns come last, after the ones earlier files had (the unit, then the VIN), so
  // that a script reading columns by position reads old and new files alike. The VIN is
  // in every row, as the time and make are, so that a workshop's log tells cars apart.
  const std::string_view vin = report.vehicle.vin;
  // An emulator's read says so in a column of every row rather than in a comment line
  // above the header: spreadsheets have no comment lines (one would become a row and push
  // the header down), and a log gathered from many reads keeps the mark on each of its rows.
  const std::string_view source = report.source;
  if (header == CsvHeader::With)
    appendRecord(out, {"time", "make", "kind", "code", "definition", "unit", "vin", "source"}, kComma, kCrLf);
  for (const ReportCode& c : report.codes) {
    appendRecord(out, {time, report.make, c.kind, c.code, c.definition, c.unit, vin, source}, kComma, kCrLf);
  }
  // A clean car is a result too: a log gathered read by read keeps a row for it.
  if (report.codes.empty())
    appendRecord(out, {time, report.make, kNoCodesKind, "", "", "", vin, source}, kComma, kCrLf);
  return out;
}

namespace {

void appendJsonStringOrNull(std::string& out, std::string_view text) {
  if (text.empty()) {
    out += "null";
  } else {
    appendJsonString(out, text);
  }
}

// ["a", "b"] on one line.
void appendJsonStrings(std::string& out, const std::vector<std::string>& texts) {
  out += '[';
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out += ", ";
    appendJsonString(out, texts[i]);
  }
  out += ']';
}

std::string_view inspectionVerdictJson(const std::optional<InspectionVerdict>& verdict) {
  if (!verdict) return "null";
  switch (*verdict) {
    case InspectionVerdict::Ready: return "\"ready\"";
    case InspectionVerdict::NotReady: return "\"not_ready\"";
    case InspectionVerdict::Fails: break;
  }
  return "\"fails\"";
}

void appendFreezeFrameJson(std::string& out, const std::optional<FreezeFrame>& frame) {
  if (!frame) {
    out += "null";
    return;
  }
  out += "{\n    \"code\": ";
  appendJsonStringOrNull(out, frame->code ? frame->code->text() : std::string_view{});
  out += ",\n    \"values\": ";
  if (frame->values.empty()) {
    out += "[]";
  } else {
    out += "[\n";
    for (std::size_t i = 0; i < frame->values.size(); ++i) {
      const FreezeValue& v = frame->values[i];
      out += "      {\"name\": ";
      appendJsonString(out, v.name);
      out += ", \"value\": ";
      appendJsonNumber(out, v.value);
      out += ", \"unit\": ";
      appendJsonString(out, v.unit);
      out += i + 1 < frame->values.size() ? "},\n" : "}\n";
    }
    out += "    ]";
  }
  out += "\n  }";
}

}  // namespace

std::string reportAsJson(const ReadReport& report) {
  const VehicleInfo& vehicle = report.vehicle;
  std::string out = "{\n  \"version\": " + std::to_string(ReportJsonVersion) + ",\n  \"time\": ";
  appendJsonString(out, isoTime(report.time));
  out += ",\n  \"make\": ";
  appendJsonString(out, report.make);
  out += ",\n  \"source\": ";
  appendJsonStringOrNull(out, report.source);
  out += ",\n  \"vin\": ";
  appendJsonStringOrNull(out, vehicle.vin);
  out += ",\n  \"vin_warning\": ";
  appendJsonStringOrNull(out, vehicle.vinWarning);
  out += ",\n  \"model_year\": ";
  out += vehicle.modelYear > 0 ? std::to_string(vehicle.modelYear) : "null";
  out += ",\n  \"model_year_given\": ";
  out += vehicle.modelYearGiven ? "true" : "false";
  out += ",\n  \"mil\": ";
  out += !vehicle.mil ? "null" : *vehicle.mil ? "true" : "false";
  out += ",\n  \"codes\": ";
  appendJsonArray(out, std::span<const ReportCode>(report.codes), [](std::string& o, const ReportCode& c) {
    appendJsonObject(o, {{"kind", c.kind}, {"code", c.code}, {"definition", c.definition}, {"unit", c.unit}});
    o.pop_back();
    o += ", \"definition_source\": ";
    appendJsonStringOrNull(o, c.definitionSource);
    o += '}';
  });
  out += ",\n  \"total\": " + std::to_string(report.total());
  out += ",\n  \"readiness\": ";
  appendJsonArray(out, std::span<const MonitorStatus>(vehicle.readiness), [](std::string& o, const MonitorStatus& m) {
    appendJsonObject(o, {{"monitor", m.monitor}, {"status", monitorStateText(m.state)}});
  });
  out += ",\n  \"inspection\": ";
  appendJsonStringOrNull(out, vehicle.inspection);
  // The verdict is the federal rule's: the note goes with it, as on every other view.
  out += ",\n  \"inspection_note\": ";
  appendJsonStringOrNull(out, vehicle.inspection.empty() ? std::string_view{} : InspectionGuideNote);
  out += ",\n  \"inspection_verdict\": ";
  out += inspectionVerdictJson(vehicle.inspectionVerdict);
  out += ",\n  \"incomplete_monitors\": ";
  appendJsonStrings(out, vehicle.incompleteMonitors);
  out += ",\n  \"freeze_frame\": ";
  appendFreezeFrameJson(out, vehicle.freezeFrame);
  std::vector<std::string> notRead;
  for (const ItemNotRead& entry : vehicle.notRead) notRead.emplace_back(vehicleItemName(entry.item));
  out += ",\n  \"not_read\": ";
  appendJsonStrings(out, notRead);
  out += ",\n  \"not_read_reasons\": {";
  for (std::size_t i = 0; i < vehicle.notRead.size(); ++i) {
    out += i == 0 ? "" : ", ";
    appendJsonString(out, vehicleItemName(vehicle.notRead[i].item));
    out += ": ";
    appendJsonString(out, vehicle.notRead[i].reason);
  }
  out += "}\n}\n";
  return out;
}

// ---- The glossary --------------------------------------------------------------------------

GlossaryText glossaryTextFromData(std::string_view termBytes, std::string_view definitionBytes) {
  return GlossaryText{windows1252ToUtf8(termBytes), windows1252ToUtf8(definitionBytes)};
}

std::string glossaryAsTabText(std::span<const GlossaryText> entries) {
  std::string out;
  appendPlainRecord(out, {"TERM", "DIFINITION"});
  for (const GlossaryText& e : entries) appendPlainRecord(out, {e.term, e.definition});
  return out;
}

std::string glossaryAsCsv(std::span<const GlossaryText> entries, CsvHeader header) {
  std::string out;
  if (header == CsvHeader::With) appendRecord(out, {"term", "definition"}, kComma, kCrLf);
  for (const GlossaryText& e : entries) appendRecord(out, {e.term, e.definition}, kComma, kCrLf);
  return out;
}

std::string glossaryAsJson(std::span<const GlossaryText> entries) {
  std::string out = "{\n  \"entries\": ";
  appendJsonArray(out, entries, [](std::string& o, const GlossaryText& e) {
    appendJsonObject(o, {{"term", e.term}, {"definition", e.definition}});
  });
  out += ",\n  \"total\": " + std::to_string(entries.size()) + "\n}\n";
  return out;
}

// ---- A code looked up ----------------------------------------------------------------------

std::string lookupAsJson(std::string_view make, const CodeText& found, const std::optional<CodeText>& next) {
  std::string out = "{\n  \"make\": ";
  appendJsonString(out, make);
  out += ",\n  \"found\": ";
  const auto entry = [&out](const CodeText& e) {
    appendJsonObject(out, {{"code", e.code}, {"definition", e.definition}});
    out.pop_back();
    out += ", \"definition_source\": ";
    appendJsonStringOrNull(out, e.source);
    out += '}';
  };
  entry(found);
  out += ",\n  \"next\": ";
  if (next)
    entry(*next);
  else
    out += "null";
  out += "\n}\n";
  return out;
}

}  // namespace vx414
