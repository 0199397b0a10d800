// What an emulator gives never passes for a car's: each window that shows it says so in its
// title, as the main window's does while the link reaches an emulator.
#pragma once

#include <QString>

#include <string_view>

namespace vx414 {

// " — demo: ELM327 emulator" after a title, for what the emulator announced itself as (a kept
// read only knows "emulator"); empty for a car.
inline QString demoMark(std::string_view emulator)
{
    if (emulator.empty())
        return {};
    return QStringLiteral(" \u2014 demo: ") + QString::fromUtf8(emulator.data(), static_cast<qsizetype>(emulator.size()));
}

}  // namespace vx414
