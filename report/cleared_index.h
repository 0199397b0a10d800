#pragma once
// The index of the kept reads' folder (report/cleared_read.h): index.tsv, one line for each
// kept read with what a listing shows of it, so that listing the folder parses no file it
// has seen before. The first line names the form:
//
//   vx414 kept reads index 1
//   NAME \t SIZE \t MTIME_NS \t TIME \t VIN \t MAKE \t CODES \t SOURCE \t ERROR
//
// TIME as readableTime writes it, CODES in brief ("P0300 (Pending), P0171 (Stored)", empty
// for none), SOURCE the read's, ERROR why the file could not be read back (the JSON
// reader's words), else empty. A backslash, a tab, a line feed and a carriage return in a
// field are written \\, \t, \n and \r. The index is a copy of what the files say, never
// trusted over them: a line whose size or time is not the file's is taken again from it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx414 {

inline constexpr std::string_view kKeptIndexName = "index.tsv";

struct KeptIndexLine {
    std::string name;  // the file's name in the folder
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::string time;
    std::string vin;
    std::string make;
    std::string codes;
    std::string source;
    std::string error;

    friend bool operator==(const KeptIndexLine&, const KeptIndexLine&) = default;
};

// The index's text, its lines in the order given.
std::string keptIndexText(const std::vector<KeptIndexLine>& lines);
// The lines of an index's text; nothing when it is not one (another form, a line cut
// short, a field that is no number): the caller then builds it anew from the files.
std::optional<std::vector<KeptIndexLine>> keptIndexLines(std::string_view text);

}  // namespace vx414
