// vx414-dis: builds, dumps and verifies VX-414.dis. See docs/data-file.md.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/data_file.h"
#include "definitions/dis_file.h"
#include "definitions/generic_titles.h"
#include "definitions/make_import.h"
#include "definitions/plain_sources.h"
#include "definitions/scantool_codes.h"

namespace {

using namespace vx414;

constexpr std::string_view kUsage =
    "usage: vx414-dis build -o FILE --glossary GLOSSARY.tsv (--codes codes.dat | --sections FOLDER)\n"
    "                       [--generic TITLES.tsv] [--makes FOLDER]\n"
    "       vx414-dis dump FILE FOLDER\n"
    "       vx414-dis verify FILE\n";

int fail(const std::string& message) {
  std::fprintf(stderr, "vx414-dis: %s\n", message.c_str());
  return 1;
}

// The message the program and vx414-read give for a file they cannot use, with its path,
// then what failed and where.
int damaged(const std::string& file, const DataFileStatus& status) {
  return fail(" Cannot identify data file : " + file + " (" + describe(status) + ")");
}

int usage() {
  std::fputs(kUsage.data(), stderr);
  return 2;
}

void printMerge(const GenericMergeReport& report) {
  std::printf("generic titles: %d rows; generic codes before %d, after %d; texts from the titles %d, kept %d;"
              " \"Reserved\" texts named %d\n",
              report.titleRows, report.currentCodes, report.mergedCodes, report.fromTitles, report.fromCurrent,
              report.placeholdersNamed);
  std::printf("dropped %zu rows of the titles:\n", report.dropped.size());
  for (const DroppedTitle& row : report.dropped) {
    std::printf("  %s %s \"%s\": %s\n", row.where.c_str(), row.code.c_str(), row.title.c_str(), row.reason.c_str());
  }
  std::printf("manufacturer-range codes left out of generic: %zu (%d of them in the generic records before)\n",
              report.movedOut.size(), report.movedOutOfCurrent);
}

void printMakeImport(const MakeTables& tables, const MakeImport& import, const SaeRowsLeftOut& sae) {
  int total = 0;
  for (const auto& [list, rows] : sae) total += rows;
  std::printf("make texts: %d rows of codes the standard defines left out (the generic title holds for every make):\n",
              total);
  for (const auto& [list, rows] : sae) std::printf("  %s: %d\n", list.c_str(), rows);
  std::printf("corrections (rows touched):\n");
  for (std::size_t i = 0; i < tables.corrections.size(); ++i) {
    std::printf("  %s: %d\n", tables.corrections[i].where.c_str(), import.touched[i]);
  }
  std::printf("%-24s %-10s %6s %6s %6s %6s  %s\n", "section", "group", "codes", "left", "ph.kept", "ph.repl",
              "rows taken / offered, per list");
  for (const EntryImport& entry : import.entries) {
    int left = 0;
    std::string lists;
    for (const SourceUse& use : entry.merge.sources) {
      left += use.offered - use.taken;
      lists += " " + use.list + " " + std::to_string(use.taken) + "/" + std::to_string(use.offered);
    }
    std::printf("%-24s %-10s %6d %6d %6d %6d %s\n", entry.section.c_str(), entry.group.c_str(), entry.merge.codes,
                left, entry.merge.placeholdersKept, entry.merge.placeholdersReplaced, lists.c_str());
  }
}

void printExtension(const ExtensionHeader& header) {
  if (header.count == 0) {
    std::printf("generic extension: none\n");
    return;
  }
  std::printf("generic extension: %u records, header at 0x%08X, records 0x%08X to 0x%08X (positions %d to %d)\n",
              header.count, kExtensionAddress, header.start, header.end, positionOfAddress(header.start),
              positionOfAddress(header.end));
}

int build(const std::vector<std::string_view>& args) {
  std::string output, glossary, codes, sections, titles, makes;
  for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == "-o") output = args[i + 1];
    else if (args[i] == "--glossary") glossary = args[i + 1];
    else if (args[i] == "--codes") codes = args[i + 1];
    else if (args[i] == "--sections") sections = args[i + 1];
    else if (args[i] == "--generic") titles = args[i + 1];
    else if (args[i] == "--makes") makes = args[i + 1];
    else return usage();
  }
  if (args.size() % 2 != 0 || output.empty() || glossary.empty() || codes.empty() == sections.empty()) return usage();
  if (!makes.empty() && codes.empty()) return usage();

  PlainSources sources;
  std::string text;
  if (std::string error = readWholeFile(glossary, text); !error.empty()) return fail(error);
  if (std::string error = parseGlossaryTsv(text, glossary, sources.glossary); !error.empty()) return fail(error);
  TextListRows lists;
  if (!titles.empty()) {
    if (std::string error = readWholeFile(titles, text); !error.empty()) return fail(error);
    std::vector<SourceRecord>& list = lists[std::string(kGenericTitlesList)];
    if (std::string error = parseSectionTsv(text, titles, list); !error.empty()) return fail(error);
  }
  if (!codes.empty()) {
    std::string database;
    if (std::string error = readWholeFile(codes, database); !error.empty()) return fail(error);
    const ScantoolImport imported = readScantoolCodes(
        std::span(reinterpret_cast<const std::uint8_t*>(database.data()), database.size()));
    if (!imported.error.empty()) return fail(codes + ": " + imported.error);
    if (std::string error = addScantoolCodes(imported.codes, sources); !error.empty()) return fail(codes + ": " + error);
    if (!makes.empty()) {
      // The sections above are scantool's as they stand (every make name checked); the
      // family table replaces them.
      MakeTables tables;
      SaeRowsLeftOut sae;
      addScantoolLists(imported.codes, lists, sae);
      if (std::string error = readMakeTables(makes, lists, tables, sae); !error.empty()) return fail(error);
      MakeImport import;
      if (std::string error = importMakeTexts(tables, lists, sources, import); !error.empty()) return fail(error);
      printMakeImport(tables, import, sae);
    }
  } else if (std::string error = readSectionsFolder(sections, sources); !error.empty()) {
    return fail(error);
  }

  if (!titles.empty()) {
    GenericMerge merged = mergeGenericTitles(sources.sections["generic"], lists[std::string(kGenericTitlesList)]);
    printMerge(merged.report);
    sources.sections["generic"] = std::move(merged.records);
  }
  if (!makes.empty()) {
    if (std::vector<std::string> faults = checkSectionTexts(sources); !faults.empty()) {
      std::string message = "texts to mend in the corrections:";
      for (const std::string& fault : faults) message += "\n  " + fault;
      return fail(message);
    }
  }

  const BuildResult built = buildDataFile(sources);
  if (!built.error.empty()) return fail(built.error);
  if (std::string error = writeWholeFile(output, built.stored); !error.empty()) return fail(error);
  const BuildReport& report = built.report;
  std::printf("%s: %zu stored bytes\nglossary: %d pairs, %u of %u data bytes\n", output.c_str(), built.stored.size(),
              report.glossaryPairs, report.glossaryBytes, report.glossaryRoom);
  std::printf("%-24s %7s %7s %7s %9s %9s\n", "section", "real", "filler", "heading", "used", "size");
  for (const SectionLayout& s : report.sections) {
    std::printf("%-24s %7d %7d %7d %9u %9u\n", s.name.c_str(), s.realRecords, s.fillerRecords, s.headingRecords,
                s.realBytes, s.sectionBytes);
  }
  printExtension(report.extension);
  std::printf("generic rows: %d (fixed section %d)\n", report.genericRows, report.fixedGenericRows);
  return 0;
}

int dump(const std::string& file, const std::string& folder) {
  DataFile slot;
  if (DataFileStatus status = slot.open(file); !status.ok()) return fail(describe(status));
  const DumpResult dumped = dumpDataFile(slot);
  if (!dumped.status.ok()) return damaged(file, dumped.status);
  if (std::string error = writeSourcesFolder(folder, dumped.sources); !error.empty()) return fail(error);
  printExtension(dumped.extension);
  return 0;
}

int verify(const std::string& file) {
  switch (datafilecheck(file)) {
    case 0:
      return fail(file + ": not found or not readable");
    case 1:
      return fail(" Cannot identify data file : " + file);
    default:
      break;
  }
  DataFile slot;
  if (DataFileStatus status = slot.open(file); !status.ok()) return fail(describe(status));
  const VerifyReport report = verifyDataFile(slot);
  if (!report.status.ok()) return damaged(file, report.status);
  std::printf("%s: %lld stored bytes, verified\nglossary: %d pairs, ends at position %d\n", file.c_str(),
              static_cast<long long>(slot.length()), report.glossaryPairs, report.glossaryEnd);
  printExtension(report.extension);
  if (report.extensionPresent) {
    std::printf("generic extension: header checked, %u records walked, %lld data bytes\n", report.extension.count,
                static_cast<long long>(report.extensionCodedBytes));
  }
  std::printf("generic rows: %d\n%-24s %7s %7s %9s %9s %9s\n", report.genericRows, "section", "rows", "coded",
              "coded B", "start", "end");
  for (const SectionCount& s : report.sections) {
    std::printf("%-24s %7d %7d %9lld %9d %9d\n", s.name.c_str(), s.rows, s.codedRows,
                static_cast<long long>(s.codedBytes), s.start, s.end);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) return usage();
  const std::vector<std::string_view> rest(args.begin() + 1, args.end());
  if (args[0] == "build") return build(rest);
  if (args[0] == "dump" && rest.size() == 2) return dump(std::string(rest[0]), std::string(rest[1]));
  if (args[0] == "verify" && rest.size() == 1) return verify(std::string(rest[0]));
  return usage();
}
