// The text format: what vx414-read prints for people, aligned in columns, in UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "definitions/definitions_table.h"
#include "definitions/glossary.h"
#include "report/report_format.h"

namespace vx414::cli {

// Data bytes as UTF-8 for a terminal: control characters, which would move the cursor or
// worse, become '?'.
std::string printableText(std::string_view dataBytes);

// UTF-8 text for a terminal: control characters, C1 ones included, become '?'.
std::string printableUtf8(std::string_view text);

// Each line of UTF-8 text made printable, its line ends kept.
std::string printableLines(std::string_view text);

// "Make: ...", "Read: <local time>", the vehicle's lines (VIN, model year, MIL) when the link
// told them, a TYPE / Code / Definition table (with a Unit column when the link named the
// units), "Total: N", then readiness and the freeze frame when the link told them. A code
// whose definition is empty shows "(no definition)".
std::string readAsText(const ReadReport& read);

// "Found" and, where the code search shows one, "Next": each with its code and definition.
std::string lookupAsText(const DefinitionsTable& table, const CodeSearchHit& hit);

// One entry a line: the term, padded to the longest term shown, then its explanation.
std::string glossaryAsText(const std::vector<GlossaryItem>& items, const std::vector<std::size_t>& shown);

}  // namespace vx414::cli
