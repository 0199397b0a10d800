// The text format: what vx414-read prints for people, aligned in columns, in UTF-8.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/definitions_table.h"
#include "definitions/glossary.h"

namespace vx414::cli {

// A read as it is printed: each code with its kind and the definition the result table
// shows for it (data bytes; empty when the table holds none).
struct ResultLine {
    std::string kind;
    std::string code;
    std::string definition;
    bool defined = false;
};

struct ReadForOutput {
    std::chrono::system_clock::time_point when;
    std::string make;
    std::vector<ResultLine> lines;
};

// Data bytes as UTF-8 for a terminal: control characters, which would move the cursor or
// worse, become '?'.
std::string printableText(std::string_view dataBytes);

// "Make: ...", "Read: <local time>", a TYPE / Code / Definition table and "Total: N".
std::string readAsText(const ReadForOutput& read);

// "Found" and, where the code search shows one, "Next": each with its code and definition.
std::string lookupAsText(const DefinitionsTable& table, const CodeSearchHit& hit);

// One entry a line: the term, padded to the longest term shown, then its explanation.
std::string glossaryAsText(const std::vector<GlossaryItem>& items, const std::vector<std::size_t>& shown);

}  // namespace vx414::cli
