#include "definitions/plain_sources.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "definitions/codepage.h"
#include "definitions/make_sections.h"
#include "definitions/text_lines.h"

namespace vx414 {
namespace {

std::string lineError(std::string_view origin, std::size_t line, std::string_view what) {
  return std::string(origin) + ":" + std::to_string(line) + ": " + std::string(what);
}

// Splits every line into its two fields, converted to Windows-1252.
template <typename Add>
std::string parseTwoFields(std::string_view text, std::string_view origin, Add add) {
  return forEachLine(text, [&](std::size_t lineNumber, std::string_view line) -> std::string {
    if (line.find('\r') != std::string_view::npos) return lineError(origin, lineNumber, "carriage return in line");
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return lineError(origin, lineNumber, "no tab between the two fields");
    if (line.find('\t', tab + 1) != std::string_view::npos) return lineError(origin, lineNumber, "more than one tab");
    const std::optional<std::string> first = utf8ToWindows1252(line.substr(0, tab));
    const std::optional<std::string> second = utf8ToWindows1252(line.substr(tab + 1));
    if (!first || !second) {
      return lineError(origin, lineNumber, "not UTF-8, or a character that Windows-1252 does not have");
    }
    add(*first, *second, std::string(origin) + ":" + std::to_string(lineNumber));
    return {};
  });
}

void appendLine(std::string& out, std::string_view first, std::string_view second) {
  out += windows1252ToUtf8(first);
  out += '\t';
  out += windows1252ToUtf8(second);
  out += '\n';
}

}  // namespace

std::string sectionFileName(std::string_view section) {
  std::string name(section);
  for (char& c : name) {
    if (c == ' ') c = '_';
  }
  return name + ".tsv";
}

std::string parseGlossaryTsv(std::string_view text, std::string_view origin, std::vector<GlossaryEntry>& out) {
  return parseTwoFields(text, origin, [&out](std::string term, std::string definition, std::string where) {
    out.push_back({std::move(term), std::move(definition), std::move(where)});
  });
}

std::string parseSectionTsv(std::string_view text, std::string_view origin, std::vector<SourceRecord>& out) {
  return parseTwoFields(text, origin, [&out](std::string code, std::string definition, std::string where) {
    out.push_back({std::move(code), std::move(definition), std::move(where)});
  });
}

std::string formatGlossaryTsv(const std::vector<GlossaryEntry>& glossary) {
  std::string out;
  for (const GlossaryEntry& entry : glossary) appendLine(out, entry.term, entry.definition);
  return out;
}

std::string formatSectionTsv(const std::vector<SourceRecord>& records) {
  std::string out;
  for (const SourceRecord& record : records) appendLine(out, record.code, record.definition);
  return out;
}

std::string readWholeFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": " + std::strerror(errno);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return path + ": read failed";
  out = std::move(text).str();
  return {};
}

std::string writeWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return path + ": " + std::strerror(errno);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return path + ": write failed";
  return {};
}

std::string readSectionsFolder(const std::string& folder, PlainSources& out) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) return folder + ": " + error.message();
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : it) {
    if (entry.path().extension() == ".tsv" && entry.path().filename() != kGlossaryFileName) files.push_back(entry.path());
  }
  for (const fs::path& file : files) {
    const std::string fileName = file.filename().string();
    std::string_view section;
    for (const MakeSection& candidate : distinctSections()) {
      if (sectionFileName(candidate.name) == fileName) section = candidate.name;
    }
    if (section.empty()) return file.string() + ": named after no section";
    std::string text;
    if (std::string failure = readWholeFile(file.string(), text); !failure.empty()) return failure;
    std::vector<SourceRecord>& records = out.sections[std::string(section)];
    if (std::string failure = parseSectionTsv(text, file.string(), records); !failure.empty()) return failure;
  }
  return {};
}

std::string writeSourcesFolder(const std::string& folder, const PlainSources& sources) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return folder + ": " + error.message();
  const auto write = [&](std::string_view name, const std::string& text) {
    const std::string path = (fs::path(folder) / name).string();
    return writeWholeFile(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  };
  if (std::string failure = write(kGlossaryFileName, formatGlossaryTsv(sources.glossary)); !failure.empty()) {
    return failure;
  }
  for (const auto& [name, records] : sources.sections) {
    if (records.empty()) continue;
    if (std::string failure = write(sectionFileName(name), formatSectionTsv(records)); !failure.empty()) return failure;
  }
  return {};
}

}  // namespace vx414
