// The printed pages of a read's result and of the glossary, on any paged device (a printer,
// a PDF file). Each page ends with its number: "Page 2 of 5".
#pragma once

#include "report/report_format.h"

#include <span>

class QPagedPaintDevice;

namespace vx414 {

// A read: the title, the time of the read, the make, then a table of kind, code and
// definition (definitions wrapped, the table's heading repeated on every page), then the
// total, or "No codes" and a total of 0 for a read without codes.
// False when nothing could be painted (a PDF file that cannot be written).
bool printReport(const ReadReport& report, QPagedPaintDevice& device);

// The glossary as a two-column list of terms and their explanations.
bool printGlossary(std::span<const GlossaryText> entries, QPagedPaintDevice& device);

}  // namespace vx414
