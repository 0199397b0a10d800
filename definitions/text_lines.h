#pragma once
// Walking a text line by line, for the readers of plain sources.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vx414 {

// Calls visit(lineNumber, line) for every line of text (split at '\n', numbered from 1, a
// last line without '\n' included) until a call returns an error; returns that error, or
// an empty string when every line was fine.
template <typename Visit>
std::string forEachLine(std::string_view text, Visit visit) {
  std::size_t lineNumber = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    ++lineNumber;
    std::size_t stop = text.find('\n', at);
    if (stop == std::string_view::npos) stop = text.size();
    const std::string_view line = text.substr(at, stop - at);
    at = stop + 1;
    std::string error = visit(lineNumber, line);
    if (!error.empty()) return error;
  }
  return {};
}

// The fields of a line split at every `separator`.
inline std::vector<std::string> splitAt(std::string_view text, char separator) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  for (;;) {
    const std::size_t stop = text.find(separator, at);
    fields.emplace_back(text.substr(at, stop == std::string_view::npos ? std::string_view::npos : stop - at));
    if (stop == std::string_view::npos) return fields;
    at = stop + 1;
  }
}

// For the data tables of tools: calls add(fields, where) for every line that is neither
// empty nor a "#" comment; a line with another count of tab-separated fields, or an empty
// field, is an error "<origin>:<line>: <what>".
template <typename Add>
std::string forEachTableRow(std::string_view text, std::string_view origin, std::size_t fieldCount, Add add) {
  return forEachLine(text, [&](std::size_t lineNumber, std::string_view line) -> std::string {
    const std::string where = std::string(origin) + ":" + std::to_string(lineNumber);
    if (line.empty() || line.front() == '#') return {};
    std::vector<std::string> fields = splitAt(line, '\t');
    if (fields.size() != fieldCount) {
      return where + ": " + std::to_string(fieldCount) + " tab-separated fields expected, found " +
             std::to_string(fields.size());
    }
    for (const std::string& field : fields) {
      if (field.empty()) return where + ": an empty field";
    }
    return add(std::move(fields), where);
  });
}

}  // namespace vx414
