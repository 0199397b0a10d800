#pragma once
// Reader of the trouble-code database of Debian's scantool package (codes.dat): an
// Allegro 4 datafile whose text objects BCODES, CCODES, PCODES and UCODES hold lines
// "CODE<TAB>Make<TAB>Description[<TAB>more]".

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/plain_sources.h"

namespace vx414 {

struct ScantoolCode {
  std::string code;
  std::string make;         // as the database spells it ("Generic", "Landrover", ...)
  std::string description;  // Windows-1252
  std::string where;        // object and line, e.g. "PCODES:1234"
};

struct ScantoolImport {
  std::string error;  // empty on success
  std::vector<ScantoolCode> codes;
};

// Reads the unpacked ("slh.") form; the packed form ("slh!") is refused by name. Mends the
// database's known faults: two records joined on one line are split, a letter O among a
// code's digits becomes a zero, a UTF-8 replacement character becomes a hyphen.
ScantoolImport readScantoolCodes(std::span<const std::uint8_t> file);

// Our section for one of the database's make names ("Generic" -> "generic",
// "Landrover" -> "land rover", ...), or nothing for a make we do not map.
std::optional<std::string_view> sectionOfScantoolMake(std::string_view make);

// Adds every code to its make's section, in database order; an unknown make is an error
// naming the line.
std::string addScantoolCodes(const std::vector<ScantoolCode>& codes, PlainSources& sources);

}  // namespace vx414
