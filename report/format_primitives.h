#pragma once
// The pieces the report formats are written with, shared by the read's formats and the
// vehicle's sections: UTF-8 made valid, delimited fields, JSON strings and numbers.

#include <initializer_list>
#include <string>
#include <string_view>

namespace vx414::format {

// Appends text, each byte that does not belong to a valid UTF-8 sequence replaced by U+FFFD.
void appendValidUtf8(std::string& out, std::string_view text);

// One field of CSV or tab-separated text: quoted when it holds the separator, a quote or a
// line break, a quote inside doubled.
void appendField(std::string& out, std::string_view field, char separator);
void appendRecord(std::string& out, std::initializer_list<std::string_view> fields, char separator,
                  std::string_view lineEnd);

// A JSON string, escaped, valid UTF-8.
void appendJsonString(std::string& out, std::string_view text);
// A JSON number in its shortest exact form; null for a value JSON cannot hold (NaN, infinity).
void appendJsonNumber(std::string& out, double value);

}  // namespace vx414::format
