#pragma once
// The walk over one code record section, as the make loader reads it: windows of 10,000
// stored bytes, a record being a code item and a definition item, up to the record that
// ends at or past the section's end.

#include <cstdint>
#include <functional>
#include <string_view>

#include "definitions/data_file.h"

namespace vx414 {

inline constexpr std::size_t kWindowBytes = 10000;
// A new window is read only once the window index has passed this.
inline constexpr std::size_t kWindowRefill = 9000;
inline constexpr std::size_t kCodeCharacters = 5;
inline constexpr std::size_t kDefinitionCharacters = 501;

// One record as the loader keeps it: the code cut to five characters, the definition with
// a space put before it when it does not begin with an ASCII letter. Both are data bytes
// (Windows-1252); the views live until the sink returns.
struct WalkedRecord {
  std::string_view code;
  std::string_view definition;
  std::int32_t start;  // file position of the record's first pair
  std::int32_t end;    // file position after its last terminator
};

using RecordSink = std::function<void(const WalkedRecord&)>;

struct SectionWalk {
  std::string_view name;  // names the section in a failure
  std::int32_t MakeStart;
  std::int32_t MakeEnd;
  int maxRows = 10000;  // the table rows left for this section
};

struct WalkSummary {
  int rows = 0;
  int windows = 0;
  std::int32_t end = 0;  // file position after the last record read
};

// Hands every record of the section to `sink`, in file order. Stops with a failure on a
// bad pair, a record that runs past its window, a definition over 501 characters or a
// record beyond maxRows; the records before it have been handed over.
DataFileStatus walkSection(const StoredBytes& file, const SectionWalk& walk, const RecordSink& sink,
                           WalkSummary* summary = nullptr);

}  // namespace vx414
