// The progress strip's arithmetic: the filled fraction advanced per tick, and what a
// drawing of a fraction shows.
#pragma once

#include <string>

namespace vx414 {

inline constexpr float kBarStep = 0.05f;
inline constexpr float kBarStopAbove = 1.02f;

// One tick: the fraction after it, and whether the animation stops (it then restarts
// from 0). The sums are taken in single precision, as the fraction is kept: twenty steps
// make 1.0000001, the twenty-first 1.05, which stops it.
struct BarTick {
    float progress;
    bool stop;
};
BarTick advanceBar(float progress);

// The whole percentage shown for a fraction: floor(fraction x 100 + 0.5).
int barPercent(float fraction);
// "5%", "100%", "0%".
std::string barText(float fraction);

}  // namespace vx414
