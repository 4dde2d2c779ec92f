// The charts' pure helpers: round steps, views kept inside their data, log
// ticks that always carry their decades, and the one nearest-point search.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "plot/charts/axis_ticks.h"
#include "plot/charts/nearest.h"

namespace korvex {
namespace {

TEST(AxisTicks, StepsAreOneTwoOrFiveTimesAPowerOfTen) {
    const struct {
        double x, step, below, above;
    } cases[] = {{0.7, 1, 0.5, 1},    {1, 1, 1, 1},   {1.2, 2, 1, 2},
                 {3, 5, 2, 5},        {7, 10, 5, 10}, {0.0031, 0.005, 0.002, 0.005},
                 {450, 500, 200, 500}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(niceStep(c.x), c.step) << c.x;
        EXPECT_DOUBLE_EQ(nice125(c.x, false), c.below) << c.x;
        EXPECT_DOUBLE_EQ(nice125(c.x, true), c.above) << c.x;
    }
}

TEST(AxisTicks, ViewsMoveInsideTheWholeRatherThanShrink) {
    const struct {
        double lo, hi, least, wantLo, wantHi;
    } cases[] = {
        {2, 4, 0.1, 2, 4},           // inside: as asked
        {-1, 1, 0.1, 0, 2},          // past the start: moved, same width
        {9, 12, 0.1, 7, 10},         // past the end: moved
        {3, 3.01, 1, 2.505, 3.505},  // too narrow: widened about its centre
        {-5, 20, 0.1, 0, 10},        // wider than the whole: the whole
        {NAN, 1, 0.1, 0, 10},        // nonsense: the whole
    };
    for (const auto& c : cases) {
        const auto [lo, hi] = keepInside(c.lo, c.hi, 0, 10, c.least);
        EXPECT_NEAR(lo, c.wantLo, 1e-12) << c.lo << " " << c.hi;
        EXPECT_NEAR(hi, c.wantHi, 1e-12) << c.lo << " " << c.hi;
    }
}

bool hasDecade(const std::vector<double>& ticks, double decade) {
    for (double t : ticks) {
        if (std::fabs(t / decade - 1) < 1e-9) return true;
    }
    return false;
}

TEST(AxisTicks, LogAxesKeepEveryDecadeAtEverySize) {
    // From 1 Hz to 1 MHz, however few ticks the plot has room for.
    for (int most : {2, 3, 4, 6, 10, 40}) {
        const std::vector<double> ticks = logTicks(0, 6, most);
        for (int e = 0; e <= 6; ++e) EXPECT_TRUE(hasDecade(ticks, std::pow(10, e))) << most;
    }
    // Within one decade and a bit: the decade is a tick.
    EXPECT_TRUE(hasDecade(logTicks(std::log10(40), std::log10(200), 4), 100));
    // With room, 1-2-5 and then every mantissa.
    EXPECT_EQ(logTicks(1, 3, 7), (std::vector<double>{10, 20, 50, 100, 200, 500, 1000}));
    EXPECT_EQ(logTicks(1, 2, 20).size(), 10u);
    // Less than a decade: round linear steps, never more than asked.
    const std::vector<double> narrow = logTicks(std::log10(95), std::log10(105), 6);
    EXPECT_LE(narrow.size(), 6u);
    EXPECT_TRUE(hasDecade(narrow, 100));
}

TEST(NearestSample, IsTheNearestOnTheScreenAmongThoseNearThePointer) {
    const std::vector<double> t{0, 1, 2, 3, 4, 5};
    const std::vector<double> y{0, 10, 0, 10, NAN, 0};
    // One x unit is 100 pixels, one y unit 10 pixels.
    const auto nearest = [&](double x, double v) {
        return nearestSample(t, y, 1.0, QPointF(x, v), 0.01, 0.1);
    };
    EXPECT_EQ(nearest(1.02, 9), 1u);
    EXPECT_EQ(nearest(2.95, 2), 3u);  // nearer on the screen, though not in value
    EXPECT_EQ(nearest(2.5, 0), 2u);   // between samples: the one either side nearest
    EXPECT_EQ(nearest(4.0, 0), 5u);   // a sample that is not a number is never chosen
    EXPECT_EQ(nearest(-3, 0), 0u);    // before the first
    EXPECT_EQ(nearest(9, 0), 5u);     // after the last
    // Times in milliseconds on the chart, seconds in the data.
    EXPECT_EQ(nearestSample(t, y, 1000.0, QPointF(3001, 10), 1, 0.1), 3u);
    EXPECT_EQ(nearestSample({}, {}, 1.0, QPointF(0, 0), 1, 1), 0u);
}

}  // namespace
}  // namespace korvex
