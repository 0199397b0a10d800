// Converting layout arithmetic to the 16-bit whole numbers the window's coordinates are
// kept in: to the nearest, halves to even. A value that does not fit gives nothing, and
// the step that needed it is skipped.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

namespace vx414 {

inline std::optional<std::int16_t> toInt16(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value);  // the default mode rounds halves to even
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

}  // namespace vx414
