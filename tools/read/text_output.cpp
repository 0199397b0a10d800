#include "tools/read/text_output.h"

#include <algorithm>

#include "definitions/codepage.h"
#include "report/vehicle_format.h"

namespace vx414::cli {
namespace {

constexpr std::size_t kKindWidth = 7;  // "Pending"; a read with "Permanent" codes is wider
constexpr std::size_t kCodeWidth = 5;  // a whole code
constexpr std::string_view kGap = "  ";
constexpr std::string_view kNoDefinition = "(no definition)";

std::string padded(std::string_view text, std::size_t width) {
    std::string out(text);
    // Data bytes are one character each, so their count is their width.
    if (out.size() < width) out.append(width - out.size(), ' ');
    return out;
}

}  // namespace

std::string printableText(std::string_view dataBytes) { return printableUtf8(windows1252ToUtf8(dataBytes)); }

std::string printableLines(std::string_view text) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        out += printableUtf8(text.substr(start, stop - start));
        if (end != std::string_view::npos) out += '\n';
        start = stop + 1;
    }
    return out;
}

std::string printableUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<std::uint8_t>(text[i + 1]) : 0;
        if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F
            out += '?';
            ++i;
        } else {
            out += byte < 0x20 || byte == 0x7F ? '?' : static_cast<char>(byte);
        }
    }
    return out;
}

std::string readAsText(const ReadReport& read) {
    // First, so that no page or log of an emulator's read passes for a car's.
    std::string text = read.fromEmulator() ? std::string(kDemoNotice) + "\n" : std::string();
    text += "Make: " + printableUtf8(read.make) + "\n";
    text += "Read: " + readableTime(read.time) + "\n";
    text += printableLines(vehicleLinesText(read.vehicle));
    if (read.codes.empty()) {
        text += "No codes.\n";
    } else {
        std::size_t kindWidth = kKindWidth;
        std::size_t unitWidth = 0;
        for (const ReportCode& code : read.codes) {
            kindWidth = std::max(kindWidth, code.kind.size());
            unitWidth = std::max(unitWidth, printableUtf8(code.unit).size());
        }
        // A unit column only when the link names units (the VX-414 reader does not).
        if (unitWidth > 0) unitWidth = std::max(unitWidth, std::string_view("Unit").size());
        const auto unitCell = [&](std::string_view unit) {
            return unitWidth == 0 ? std::string() : padded(printableUtf8(unit), unitWidth) + std::string(kGap);
        };
        text += padded("TYPE", kindWidth) + std::string(kGap) + padded("Code", kCodeWidth) + std::string(kGap) +
                unitCell("Unit") + "Definition\n";
        for (const ReportCode& code : read.codes) {
            text += padded(code.kind, kindWidth) + std::string(kGap) + padded(code.code, kCodeWidth) +
                    std::string(kGap) + unitCell(code.unit) +
                    (!code.definition.empty() ? printableUtf8(code.definition)
                     : !code.note.empty()     ? "(" + printableUtf8(code.note) + ")"
                                              : std::string(kNoDefinition)) + "\n";
        }
    }
    text += "Total: " + std::to_string(read.total()) + "\n";
    text += printableLines(vehicleSectionsText(read.vehicle));
    return text;
}

std::string lookupAsText(const DefinitionsTable& table, const CodeSearchHit& hit) {
    std::string text;
    const auto line = [&](std::string_view label, int codeRow, int definitionRow) {
        const DefinitionRow& entry = table.rows()[static_cast<std::size_t>(codeRow)];
        const DefinitionRow& meaning = table.rows()[static_cast<std::size_t>(definitionRow)];
        text += padded(label, 5) + std::string(kGap) + printableText(padded(entry.code, kCodeWidth)) +
                std::string(kGap) + printableText(meaning.definition) + "\n";
    };
    if (hit.found >= 0) line("Found", hit.found, hit.meaning);
    if (hit.next >= 0) line("Next", hit.next, hit.next);
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
