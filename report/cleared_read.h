#pragma once
// Before the car's codes are erased, the last read is kept as a JSON file, so that a clear
// made by mistake, or asked for by the customer, loses nothing: the codes, the freeze
// frame and the readiness stay on disk. The window and vx414-read keep it the same way.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/report_format.h"

namespace vx414 {

// $XDG_DATA_HOME/vx414/cleared, or $HOME/.local/share/vx414/cleared when XDG_DATA_HOME is
// unset, empty or not an absolute path (the base directory rules say to ignore a relative
// one). Empty when neither gives a place.
std::string clearedReadsFolder(const char* xdgDataHome, const char* home);
// The same from the environment.
std::string clearedReadsFolder();

struct KeptRead {
    std::string path;   // the file written, when it was
    std::string error;  // why not, one line, when it was not

    bool ok() const { return error.empty(); }
};

// Writes the read's JSON to `folder` (made when missing) as
// vx414-cleared-YYYYMMDD-HHMMSS.json after the read's local time, "-2", "-3" … added when
// that name is taken. The file appears whole or not at all: it is written under a
// temporary name and renamed.
KeptRead keepReadBeforeClearing(const std::string& folder, const ReadReport& read);

// A kept read opened again.
struct PreviousRead {
    std::string path;
    std::optional<ReadReport> read;  // empty when the file cannot be read back
    std::string error;               // why not, one line: the file is never changed for it
    bool damaged = false;            // read whole, and not a read: the error is the JSON reader's
};

// One kept read from its file; a file larger than any read (1 MiB) is refused unread. The
// error names the file and the cause: the system's words, or what the JSON reader found.
// The list of them is report/cleared_listing.h's.
PreviousRead openPreviousRead(const std::string& path);

}  // namespace vx414
