#pragma once
// What a read found, and the glossary, written out for people and for other programs:
// tab-separated text (the clipboard), CSV and JSON. No Qt, so that the window and the
// command-line reader share it.
//
// Every text in these types is UTF-8. Texts straight from the data file are Windows-1252
// bytes: turn them into UTF-8 with codeFromData / glossaryTextFromData (or
// windows1252ToUtf8 of definitions/codepage.h) before they go in. Text that is not valid
// UTF-8 is written with U+FFFD in place of each bad byte, so the output always is.
//
// Line ends: CSV ends every record with CRLF (RFC 4180); tab-separated text and JSON end
// their lines with LF. In CSV a line break inside a definition is kept as it is, inside
// quotes; tab-separated text is never quoted: a tab or line break inside a field becomes a
// space.

#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reader/vehicle_info.h"

namespace vx414 {

// A local date and time with its offset from UTC, to the second.
struct LocalTime {
  int year = 1970;
  int month = 1;   // 1 to 12
  int day = 1;     // 1 to 31
  int hour = 0;    // 0 to 23
  int minute = 0;  // 0 to 59
  int second = 0;  // 0 to 60
  int utcOffsetMinutes = 0;  // east of UTC positive: +60 for UTC+01:00

  friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

// The local time of a moment, from the C library's time zone.
LocalTime localTimeOf(std::time_t moment);
LocalTime localTimeNow();

// ISO 8601 with the offset: "2026-12-07T22:49:01+01:00" ("+00:00" for UTC, never "Z").
std::string isoTime(const LocalTime& time);
// The same for people: "2026-12-07 22:49:01 UTC+01:00".
std::string readableTime(const LocalTime& time);

// One code of a read. kind is the block's kind text ("Pending", "Stored" or "Permanent"),
// code the five-character trouble code, definition the text for the make chosen ("" when
// the definitions hold none), unit the control unit that sent it ("" when the link does not
// say: the VX-414 reader's report). definitionSource says whose the definition is
// ("generic", the make's name, "" for none or not known: a kept read of an older version);
// note is said in place of a missing definition where the data file cannot hold one (a
// maker's own code with no make chosen, or a make without maker texts), else "".
struct ReportCode {
  std::string kind;
  std::string code;
  std::string definition;
  std::string unit{};
  std::string definitionSource{};
  std::string note{};

  friend bool operator==(const ReportCode&, const ReportCode&) = default;
};

// Where a read came from: empty for a car (through the reader or an adapter), this for one
// of the emulators, whose codes must never pass for a car's wherever the read goes.
inline constexpr std::string_view kEmulatorSource = "emulator";
// What people are shown of it: the printed page, the command line's text.
inline constexpr std::string_view kDemoNotice = "DEMO: read from an emulator, not from a car";

// The result of one read: only codes, never filler or total rows. The total is the
// number of codes.
struct ReadReport {
  LocalTime time;
  std::string make;  // the make chosen, as the make list shows it
  std::vector<ReportCode> codes;
  // What the link told about the car besides its codes; empty for the VX-414 reader.
  VehicleInfo vehicle{};
  std::string source{};  // "" or kEmulatorSource

  std::size_t total() const { return codes.size(); }
  bool fromEmulator() const { return source == kEmulatorSource; }
};

// One code as a read holds it: kind and code as decoded (ASCII), the definition as the
// data file's Windows-1252 bytes.
ReportCode codeFromData(std::string_view kind, std::string_view code,
                        std::string_view definitionBytes);

// A code of a read with its definition still in data-file bytes, for reportFromRead.
struct DataCode {
  std::string_view kind;
  std::string_view code;
  std::string_view definitionBytes;
  std::string_view definitionSource{};
  std::string_view note{};
};

// A whole report from what a read holds; make is UTF-8 (the make list's names are ASCII).
ReadReport reportFromRead(const LocalTime& time, std::string_view make,
                          std::span<const DataCode> codes);

// The report as text. Columns:
//   tab-separated: TYPE, Vehicle, Code, Definition (the result table's headings), the make
//                  in every row; then, when the link told more about the car, the
//                  vehicle's lines, readiness and freeze frame (vehicleAsTabText);
//   CSV:           time, make, kind, code, definition, unit, vin, source, the time, make,
//                  VIN and source in every row, so that the rows of many reads can be
//                  gathered in one file; the VIN is empty when none was read (the VX-414
//                  reader's reads), the source empty for a car and "emulator" for an
//                  emulator;
//   JSON:          the document vx414-read(1) describes, "version" ReportJsonVersion:
//                  {"version", "time", "make", "source", "vin", "vin_warning", "model_year",
//                  "model_year_given", "mil", "codes": [{"kind", "code", "definition",
//                  "unit", "definition_source"}...], "total",
//                  "readiness", "inspection", "inspection_note", "inspection_verdict",
//                  "incomplete_monitors", "freeze_frame", "not_read", "not_read_reasons"};
//                  every member is always there, null (or an empty array or object) when
//                  the read does not tell it ("source" null for a car). Version 3 added the
//                  verdict, the incomplete monitors, the VIN warning and the items not read;
//                  version 4 the source and the inspection's note; version 5 whose each
//                  definition is and whether the model year was given by the user.
inline constexpr int ReportJsonVersion = 5;
// A read without codes gives the header row alone, or an empty "codes" array; in CSV it
// gives one row of kind kNoCodesKind with an empty code, so that a log of reads keeps it.
// CsvHeader::Without leaves the header row out, for appending to a file that has one.
enum class CsvHeader { With, Without };
inline constexpr std::string_view kNoCodesKind = "None";
std::string reportAsTabText(const ReadReport& report);
std::string reportAsCsv(const ReadReport& report, CsvHeader header = CsvHeader::With);
std::string reportAsJson(const ReadReport& report);

// One entry of the glossary: a term and its explanation, UTF-8.
struct GlossaryText {
  std::string term;
  std::string definition;

  friend bool operator==(const GlossaryText&, const GlossaryText&) = default;
};

// An entry from the data file's Windows-1252 bytes.
GlossaryText glossaryTextFromData(std::string_view termBytes, std::string_view definitionBytes);

// The glossary as text. Columns: tab-separated TERM, DIFINITION (the list's headings, spelled
// as the list spells them); CSV term, definition; JSON {"entries": [{"term", "definition"}...],
// "total": n}.
std::string glossaryAsTabText(std::span<const GlossaryText> entries);
std::string glossaryAsCsv(std::span<const GlossaryText> entries, CsvHeader header = CsvHeader::With);
std::string glossaryAsJson(std::span<const GlossaryText> entries);

// A code search's answer for other programs: {"make", "found": {"code", "definition"},
// "next": {...} or null}. UTF-8.
struct CodeText {
  std::string code;
  std::string definition;
  std::string source{};  // "generic" or the make's name: whose the definition is
};
std::string lookupAsJson(std::string_view make, const CodeText& found, const std::optional<CodeText>& next);

}  // namespace vx414
