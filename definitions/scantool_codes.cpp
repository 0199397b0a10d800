#include "definitions/scantool_codes.h"

#include <array>
#include <utility>

#include "definitions/codepage.h"
#include "definitions/text_lines.h"

namespace vx414 {
namespace {

// Big-endian reads with bounds: the datafile's numbers are Motorola order.
class Cursor {
 public:
  explicit Cursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool has(std::size_t count) const { return count <= bytes_.size() - at_; }
  std::size_t at() const { return at_; }
  std::string_view tag() {
    const std::string_view text(reinterpret_cast<const char*>(bytes_.data() + at_), 4);
    at_ += 4;
    return text;
  }
  std::uint32_t number() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | bytes_[at_++];
    return value;
  }
  std::string_view text(std::size_t count) {
    const std::string_view value(reinterpret_cast<const char*>(bytes_.data() + at_), count);
    at_ += count;
    return value;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

constexpr std::array<std::string_view, 4> kCodeObjects{"BCODES", "CCODES", "PCODES", "UCODES"};

constexpr std::array<std::pair<std::string_view, std::string_view>, 21> kMakeNames{{
    {"Generic", "generic"},   {"Acura", "acura"},       {"Audi", "audi"},
    {"Bmw", "bmw"},           {"Chrysler", "chrysler"}, {"Dodge", "dodge"},
    {"Ford", "ford"},         {"Honda", "honda"},       {"Hyundai", "hyundai"},
    {"Infiniti", "infiniti"}, {"Isuzu", "isuzu"},       {"Jaguar", "jaguar"},
    {"Kia", "kia"},           {"Landrover", "land rover"}, {"Lexus", "lexus"},
    {"Mazda", "mazda"},       {"Mitsubishi", "mitsubishi"}, {"Nissan", "nissan"},
    {"Subaru", "subaru"},     {"Toyota", "toyota"},     {"Volkswagen", "volkswagen"},
}};

bool isCodeLetter(char c) { return c == 'P' || c == 'C' || c == 'B' || c == 'U'; }
bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// A trouble code, once a letter O among its digits is read as the zero it stands for.
std::optional<std::string> mendedCode(std::string_view code) {
  if (code.size() != 5 || !isCodeLetter(code[0])) return std::nullopt;
  std::string mended(code);
  for (std::size_t i = 1; i < mended.size(); ++i) {
    if (mended[i] == 'O') mended[i] = '0';
    if (!isHexDigit(mended[i])) return std::nullopt;
  }
  return mended;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', at);
    fields.push_back(line.substr(at, tab == std::string_view::npos ? std::string_view::npos : tab - at));
    if (tab == std::string_view::npos) return fields;
    at = tab + 1;
  }
}

std::string lineError(std::string_view where, std::string_view what) { return std::string(where) + ": " + std::string(what); }

std::optional<std::string> descriptionBytes(std::string_view text) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string mended(text);
  for (std::size_t at = mended.find(kReplacement); at != std::string::npos; at = mended.find(kReplacement, at)) {
    // The one such character in the database stands for the dash of a range ("15-20 PSI").
    mended.replace(at, kReplacement.size(), "-");
  }
  return utf8ToWindows1252(mended);
}

std::string readCodeLines(std::string_view object, std::string_view text, std::vector<ScantoolCode>& out) {
  return forEachLine(text, [&](std::size_t lineNumber, std::string_view line) -> std::string {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return {};
    const std::string where = std::string(object) + ":" + std::to_string(lineNumber);

    std::vector<std::string_view> fields = splitTabs(line);
    if (fields.size() < 3) return lineError(where, "fewer than three fields");
    std::vector<std::pair<std::string_view, std::string_view>> records;  // code, description
    std::string_view description = fields[2];
    std::string joinedMore;
    if (fields.size() > 3) {
      // A description ending in a code followed by a further field is two records on one
      // line: the second keeps the first one's make.
      const std::string_view tail = description.size() >= 5 ? description.substr(description.size() - 5) : "";
      if (fields.size() == 4 && mendedCode(tail)) {
        records.emplace_back(fields[0], description.substr(0, description.size() - 5));
        records.emplace_back(tail, fields[3]);
      } else {
        // Further fields continue the description.
        joinedMore = std::string(description);
        for (std::size_t i = 3; i < fields.size(); ++i) joinedMore += " " + std::string(fields[i]);
        records.emplace_back(fields[0], joinedMore);
      }
    } else {
      records.emplace_back(fields[0], description);
    }
    for (const auto& [rawCode, rawDescription] : records) {
      const std::optional<std::string> code = mendedCode(rawCode);
      if (!code) return lineError(where, "not a trouble code: \"" + std::string(rawCode) + "\"");
      std::optional<std::string> bytes = descriptionBytes(rawDescription);
      if (!bytes) return lineError(where, "description is not UTF-8 of Windows-1252 characters");
      out.push_back({*code, std::string(fields[1]), std::move(*bytes), where});
    }
    return {};
  });
}

}  // namespace

ScantoolImport readScantoolCodes(std::span<const std::uint8_t> file) {
  ScantoolImport result;
  Cursor in(file);
  if (!in.has(12)) return {"codes.dat: too short for an Allegro datafile", {}};
  const std::string_view magic = in.tag();
  if (magic == "slh!") {
    return {"codes.dat: a packed Allegro datafile (\"slh!\"); only the unpacked form (\"slh.\") is read", {}};
  }
  if (magic != "slh." || in.tag() != "ALL.") return {"codes.dat: not an Allegro datafile", {}};
  const std::uint32_t objects = in.number();
  int found = 0;
  for (std::uint32_t i = 0; i < objects; ++i) {
    std::string_view name;
    for (;;) {
      if (!in.has(4)) return {"codes.dat: truncated at byte " + std::to_string(in.at()), {}};
      const std::string_view tag = in.tag();
      if (tag != "prop") {
        // The object's type; its two sizes follow.
        if (!in.has(8)) return {"codes.dat: truncated at byte " + std::to_string(in.at()), {}};
        const std::uint32_t storedSize = in.number();
        const std::uint32_t dataSize = in.number();
        if ((storedSize & 0x80000000u) != 0 || storedSize != dataSize) {
          return {"codes.dat: object " + std::string(name) + " is compressed; only unpacked objects are read", {}};
        }
        if (!in.has(storedSize)) return {"codes.dat: object " + std::string(name) + " runs past the end", {}};
        const std::string_view data = in.text(storedSize);
        for (std::string_view object : kCodeObjects) {
          if (name != object) continue;
          ++found;
          if (std::string error = readCodeLines(object, data, result.codes); !error.empty()) return {error, {}};
        }
        break;
      }
      if (!in.has(8)) return {"codes.dat: truncated at byte " + std::to_string(in.at()), {}};
      const std::string_view property = in.tag();
      const std::uint32_t size = in.number();
      if (!in.has(size)) return {"codes.dat: property runs past the end", {}};
      const std::string_view value = in.text(size);
      if (property == "NAME") name = value;
    }
  }
  if (found != static_cast<int>(kCodeObjects.size())) {
    return {"codes.dat: " + std::to_string(found) + " of the four code objects found", {}};
  }
  return result;
}

std::optional<std::string_view> sectionOfScantoolMake(std::string_view make) {
  for (const auto& [theirs, ours] : kMakeNames) {
    if (theirs == make) return ours;
  }
  return std::nullopt;
}

std::string addScantoolCodes(const std::vector<ScantoolCode>& codes, PlainSources& sources) {
  for (const ScantoolCode& code : codes) {
    const std::optional<std::string_view> section = sectionOfScantoolMake(code.make);
    if (!section) return code.where + ": unknown make \"" + code.make + "\"";
    sources.sections[std::string(*section)].push_back({code.code, code.description, code.where});
  }
  return {};
}

}  // namespace vx414
