#pragma once
// Walking a text line by line, for the readers of plain sources.

#include <cstddef>
#include <string>
#include <string_view>

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

}  // namespace vx414
