// Data bytes of the data file (Windows-1252) as the window's text.
#pragma once

#include "definitions/codepage.h"

#include <QString>

#include <string_view>

namespace vx414 {

// One character per byte, written straight into the string: the texts of a make or of the
// glossary are converted by the thousand while the user waits.
inline QString fromDataBytes(std::string_view bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        // Windows-1252 differs from Latin-1 only in 0x80 to 0x9F.
        const auto byte = static_cast<std::uint8_t>(c);
        *out++ = QChar(byte >= 0x80 && byte < 0xA0 ? windows1252ToUtf16(byte) : char16_t{byte});
    }
    return text;
}

}  // namespace vx414
