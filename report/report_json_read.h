#pragma once
// A read back from the JSON document reportAsJson writes (the kept reads of
// report/cleared_read.h, a file vx414-read --format json wrote): a small strict JSON
// reader and the mapping of its members onto a ReadReport. No Qt, so that vx414-read can
// reopen a kept read too. A document that is not one of ours, or damaged, gives the reason
// and the byte where it was found; nothing of it is guessed.

#include <optional>
#include <string>
#include <string_view>

#include "report/report_format.h"

namespace vx414 {

struct ReadFromJson {
    std::optional<ReadReport> report;
    std::string error;  // one line when there is no report: "bad JSON at byte 120: ..."
};

// Documents of version 1 to ReportJsonVersion are read; members a version does not have
// stay empty (a read without "source" came from a car). The vehicle's units are rebuilt from the codes' "unit" texts, by name
// (the document does not keep the units' addresses).
ReadFromJson reportFromJson(std::string_view text);

}  // namespace vx414
