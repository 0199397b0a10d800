#include "window/logic/progress.h"

#include <cmath>

namespace vx414 {

BarTick advanceBar(float progress)
{
    const float next = progress + kBarStep;
    if (next > kBarStopAbove)
        return {0.0f, true};
    return {next, false};
}

int barPercent(float fraction)
{
    // The product is taken in single precision like the fraction itself, so 0.005 gives 1.
    const float scaled = fraction * 100.0f;
    return static_cast<int>(std::floor(static_cast<double>(scaled) + 0.5));
}

std::string barText(float fraction)
{
    return std::to_string(barPercent(fraction)) + "%";
}

}  // namespace vx414
