#include "window/logic/progress.h"
#include "window/logic/whole_numbers.h"

#include <gtest/gtest.h>

namespace vx414 {
namespace {

TEST(Progress, TwentyTicksFillTheBarAndTheTwentyFirstStopsIt)
{
    float p = 0.0f;
    for (int tick = 1; tick <= 20; ++tick) {
        const BarTick t = advanceBar(p);
        ASSERT_FALSE(t.stop) << "tick " << tick;
        p = t.progress;
        EXPECT_EQ(barText(p), std::to_string(tick * 5) + "%") << "tick " << tick;
    }
    EXPECT_GT(p, 1.0f);  // single-precision sums overshoot: 1.0000001
    EXPECT_FLOAT_EQ(p, 1.0000001f);
    const BarTick last = advanceBar(p);
    EXPECT_TRUE(last.stop);
    EXPECT_EQ(last.progress, 0.0f);
    EXPECT_EQ(barText(last.progress), "0%");
}

TEST(Progress, PercentRoundsHalvesUp)
{
    EXPECT_EQ(barPercent(0.0f), 0);
    EXPECT_EQ(barPercent(-0.2f), -20);
    EXPECT_EQ(barPercent(0.004f), 0);
    EXPECT_EQ(barPercent(0.005f), 1);
    EXPECT_EQ(barPercent(0.5f), 50);
    EXPECT_EQ(barPercent(1.0000001f), 100);
}

TEST(WholeNumbers, NearestHalvesToEvenAndRangeOf16Bits)
{
    EXPECT_EQ(toInt16(2.5), 2);
    EXPECT_EQ(toInt16(3.5), 4);
    EXPECT_EQ(toInt16(-2.5), -2);
    EXPECT_EQ(toInt16(1234.4), 1234);
    EXPECT_EQ(toInt16(32767.0), 32767);
    EXPECT_EQ(toInt16(-32768.0), -32768);
    EXPECT_FALSE(toInt16(32767.5).has_value());  // rounds to 32768
    EXPECT_FALSE(toInt16(40000.0).has_value());
    EXPECT_FALSE(toInt16(std::nan("")).has_value());
}

}  // namespace
}  // namespace vx414
