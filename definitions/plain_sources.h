#pragma once
// The plain sources of a data file: the glossary and one table per code record section,
// each a UTF-8 text of lines "first<TAB>second".

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx414 {

// Texts below are data bytes (Windows-1252), as they go into the data file.
struct GlossaryEntry {
  std::string term;
  std::string definition;
  std::string where;  // source and line, for messages
};

struct SourceRecord {
  std::string code;
  std::string definition;
  std::string where;
};

struct PlainSources {
  std::vector<GlossaryEntry> glossary;
  // Real records by section name (the first make entry of the section); a section that
  // is not here has none.
  std::map<std::string, std::vector<SourceRecord>, std::less<>> sections;
};

inline constexpr std::string_view kGlossaryFileName = "glossary.tsv";

// "land rover" -> "land_rover.tsv".
std::string sectionFileName(std::string_view section);

// Parse one TSV text. Every line is exactly two fields split by one tab; no carriage
// returns; text valid UTF-8 of characters Windows-1252 has. Errors read
// "<origin>:<line>: <what>". Returns the error, empty when fine.
std::string parseGlossaryTsv(std::string_view text, std::string_view origin, std::vector<GlossaryEntry>& out);
std::string parseSectionTsv(std::string_view text, std::string_view origin, std::vector<SourceRecord>& out);

std::string formatGlossaryTsv(const std::vector<GlossaryEntry>& glossary);
std::string formatSectionTsv(const std::vector<SourceRecord>& records);

// Reads every "<section>.tsv" of a folder (glossary.tsv aside); a .tsv file named after
// no section is an error.
std::string readSectionsFolder(const std::string& folder, PlainSources& out);
// Writes glossary.tsv and one file per section with records.
std::string writeSourcesFolder(const std::string& folder, const PlainSources& sources);

std::string readWholeFile(const std::string& path, std::string& out);
std::string writeWholeFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace vx414
