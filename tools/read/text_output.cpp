#include "tools/read/text_output.h"

#include <algorithm>
#include <ctime>

#include "definitions/codepage.h"

namespace vx414::cli {
namespace {

constexpr std::size_t kKindWidth = 7;  // "Pending"
constexpr std::size_t kCodeWidth = 5;  // a whole code
constexpr std::string_view kGap = "  ";
constexpr std::string_view kNoDefinition = "(no definition)";

std::string padded(std::string_view text, std::size_t width) {
    std::string out(text);
    // Data bytes are one character each, so their count is their width.
    if (out.size() < width) out.append(width - out.size(), ' ');
    return out;
}

std::string localTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    const std::size_t size = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return std::string(text, size);
}

}  // namespace

std::string printableText(std::string_view dataBytes) {
    std::string bytes(dataBytes);
    for (char& c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        // The bytes Windows-1252 leaves undefined show as C1 control characters.
        const bool control = byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
                             byte == 0x90 || byte == 0x9D;
        if (control) c = '?';
    }
    return windows1252ToUtf8(bytes);
}

std::string readAsText(const ReadForOutput& read) {
    std::string text = "Make: " + read.make + "\n";
    text += "Read: " + localTime(read.when) + "\n";
    if (read.lines.empty()) {
        text += "No codes.\n";
    } else {
        text += padded("TYPE", kKindWidth) + std::string(kGap) + padded("Code", kCodeWidth) + std::string(kGap) +
                "Definition\n";
        for (const ResultLine& line : read.lines) {
            text += padded(line.kind, kKindWidth) + std::string(kGap) + padded(line.code, kCodeWidth) +
                    std::string(kGap) + (line.defined ? printableText(line.definition) : std::string(kNoDefinition)) +
                    "\n";
        }
    }
    return text + "Total: " + std::to_string(read.lines.size()) + "\n";
}

std::string lookupAsText(const DefinitionsTable& table, const CodeSearchHit& hit) {
    std::string text;
    const auto line = [&](std::string_view label, int row) {
        const DefinitionRow& entry = table.rows()[static_cast<std::size_t>(row)];
        text += padded(label, 5) + std::string(kGap) + printableText(padded(entry.code, kCodeWidth)) +
                std::string(kGap) + printableText(entry.definition) + "\n";
    };
    if (hit.found >= 0) line("Found", hit.found);
    if (hit.next >= 0) line("Next", hit.next);
    return text;
}

std::string glossaryAsText(const std::vector<GlossaryItem>& items, const std::vector<std::size_t>& shown) {
    std::size_t width = 0;
    for (std::size_t i : shown) width = std::max(width, items[i].term.size());
    std::string text;
    for (std::size_t i : shown)
        text += printableText(padded(items[i].term, width)) + std::string(kGap) + printableText(items[i].explanation) + "\n";
    return text;
}

}  // namespace vx414::cli
