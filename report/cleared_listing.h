#pragma once
// The list of the reads kept before each clear (report/cleared_read.h), as vx414-read
// --previous and the window's "Previous reads…" show it. A workshop keeps thousands, so the
// list comes from the folder's index (report/cleared_index.h) and the files' sizes and
// times: only a file the index does not know, or one changed since, is parsed, and the
// index is written again when the list differs from it. These two calls are all a caller
// sees of where kept reads lie; a history in a database can take the folder's place
// behind them.

#include <string>
#include <vector>

#include "report/cleared_read.h"

namespace vx414 {

// One kept read as the list shows it; the read itself is opened with openPreviousRead.
struct KeptReadEntry {
    std::string path;
    std::string time;    // as readableTime writes it
    std::string vin;     // empty when none was read
    std::string make;
    std::string codes;   // codesInBrief
    std::string source;  // the read's: kEmulatorSource for a demo
    std::string error;   // why it cannot be read back, one line naming the file; else empty

    bool ok() const { return error.empty(); }
    bool fromEmulator() const { return source == kEmulatorSource; }
};

struct KeptReadList {
    // Newest first (by the time in their names; of two kept in one second, the later "-2"
    // first). Other files, hidden ones (a keep cut short leaves ".NAME.part") and the index
    // are left out; a damaged kept read is listed with its error, so that it is not lost.
    std::vector<KeptReadEntry> reads;
    // Why the folder could not be listed ("… is not a folder", "cannot read …: <reason>");
    // empty when it was, or when it is not there (nothing kept yet).
    std::string error;
    // Why the index could not be brought up to date; the list is right all the same.
    std::string indexError;
};

KeptReadList listKeptReads(const std::string& folder);

// "P0300 (Pending), P0171 (Stored)", or "no codes".
std::string codesInBrief(const ReadReport& read);

}  // namespace vx414
