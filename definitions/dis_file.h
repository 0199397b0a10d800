#pragma once
// Building a data file from plain sources, dumping one back to them, and verifying one
// the way the program reads it.

#include <cstdint>
#include <string>
#include <vector>

#include "definitions/data_file.h"
#include "definitions/generic_extension.h"
#include "definitions/plain_sources.h"

namespace vx414 {

// Row 0 of the definitions table, which the scans skip, holds the generic section's first
// record: a heading.
inline constexpr std::string_view kHeadingCode = "CODE";
inline constexpr std::string_view kHeadingDefinition = "DEFINITION";
// The builder's record limit in data bytes (code, definition and their two terminators):
// a record starting anywhere the loader lets one start still fits its window.
inline constexpr std::size_t kRecordDataBytes = 500;

struct SectionLayout {
  std::string name;
  int headingRecords = 0;
  int fillerRecords = 0;
  int realRecords = 0;
  std::uint32_t realBytes = 0;     // data bytes of the heading and the real records
  std::uint32_t sectionBytes = 0;  // end address - start address
};

struct BuildReport {
  int glossaryPairs = 0;
  std::uint32_t glossaryBytes = 0;  // terminators included
  std::uint32_t glossaryRoom = 0;
  std::vector<SectionLayout> sections;  // file order
  int genericRows = 0;       // the fixed section's rows and the extension's
  int fixedGenericRows = 0;  // the fixed section's rows alone
  ExtensionHeader extension;  // count 0: the file has no extension
};

struct BuildResult {
  std::string error;  // empty on success
  std::vector<std::uint8_t> stored;
  BuildReport report;
};

// Real records are sorted by code (stable: one code's texts keep their source order). The
// generic records that do not fit the fixed generic section, the last in code order, go
// to the extension after the last make section; a file needs one only then.
BuildResult buildDataFile(const PlainSources& sources);

struct DumpResult {
  DataFileStatus status;
  PlainSources sources;
  ExtensionHeader extension;  // count 0: none
};

// The inverse of the build: the glossary and every section's real records (the generic
// extension's with the generic ones), without the heading and the fillers, with the loader's added space taken off again.
DumpResult dumpDataFile(const StoredBytes& file);

struct SectionCount {
  std::string name;
  int rows = 0;
  int codedRows = 0;  // rows with a code (fillers and empty codes aside)
  std::int64_t codedBytes = 0;
  std::int32_t start = 0;
  std::int32_t end = 0;  // file position after the last record read
};

struct VerifyReport {
  DataFileStatus status;
  int glossaryPairs = 0;
  std::int32_t glossaryEnd = 0;  // file position after the last glossary item
  int genericRows = 0;  // the fixed section's rows and the extension's
  bool extensionPresent = false;
  ExtensionHeader extension;
  std::int64_t extensionCodedBytes = 0;
  std::vector<SectionCount> sections;  // those walked before any failure
};

// Reads the file as the program does: the 832 glossary pairs, then every section as the
// make loader walks it, the generic extension checked and read behind the generic section, the generic rows counted against each make's rows and against
// themselves. Stops at the first failure.
VerifyReport verifyDataFile(const StoredBytes& file);

}  // namespace vx414
