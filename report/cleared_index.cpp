#include "report/cleared_index.h"

#include <charconv>

namespace vx414 {
namespace {

constexpr std::string_view kHeader = "vx414 kept reads index 1\n";
constexpr std::size_t kFields = 9;

void appendField(std::string& out, std::string_view field) {
    for (const char c : field) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
}

std::optional<std::string> fieldText(std::string_view field) {
    if (field.find('\\') == std::string_view::npos) return std::string(field);
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size()) return std::nullopt;
        switch (field[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

template <typename Number>
bool number(std::string_view field, Number& value) {
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc() && end == field.data() + field.size() && !field.empty();
}

}  // namespace

std::string keptIndexText(const std::vector<KeptIndexLine>& lines) {
    std::string text(kHeader);
    text.reserve(kHeader.size() + lines.size() * 160);
    for (const KeptIndexLine& line : lines) {
        appendField(text, line.name);
        text += '\t' + std::to_string(line.size) + '\t' + std::to_string(line.mtimeNs) + '\t';
        for (const std::string* field : {&line.time, &line.vin, &line.make, &line.codes, &line.source}) {
            appendField(text, *field);
            text += '\t';
        }
        appendField(text, line.error);
        text += '\n';
    }
    return text;
}

std::optional<std::vector<KeptIndexLine>> keptIndexLines(std::string_view text) {
    if (!text.starts_with(kHeader)) return std::nullopt;
    text.remove_prefix(kHeader.size());
    std::vector<KeptIndexLine> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;  // cut short
        std::string_view rest = text.substr(0, end);
        text.remove_prefix(end + 1);
        std::string_view fields[kFields];
        for (std::size_t i = 0; i < kFields; ++i) {
            const std::size_t tab = rest.find('\t');
            if ((tab == std::string_view::npos) != (i + 1 == kFields)) return std::nullopt;
            fields[i] = rest.substr(0, tab);
            rest.remove_prefix(tab == std::string_view::npos ? rest.size() : tab + 1);
        }
        KeptIndexLine line;
        if (!number(fields[1], line.size) || !number(fields[2], line.mtimeNs)) return std::nullopt;
        std::string* const texts[] = {&line.name, nullptr, nullptr, &line.time, &line.vin,
                                      &line.make, &line.codes, &line.source, &line.error};
        for (std::size_t i = 0; i < kFields; ++i) {
            if (texts[i] == nullptr) continue;
            std::optional<std::string> value = fieldText(fields[i]);
            if (!value) return std::nullopt;
            *texts[i] = std::move(*value);
        }
        if (line.name.empty()) return std::nullopt;
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace vx414
