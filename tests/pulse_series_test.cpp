#include "pulse/pulse_series.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace korvex {
namespace {

constexpr auto kSec = TimeUnit::Seconds;
constexpr auto kMs = TimeUnit::Milliseconds;
constexpr auto kSine = PulseType::HalfSine;
constexpr auto kSaw = PulseType::TerminalSawtooth;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

PulseParameters params(double amplitude, double pulse, double total, double rate,
                       PulseType type = kSine, TimeUnit unit = kSec) {
    return PulseParameters{amplitude, pulse, total, rate, type, unit};
}

struct CountCase {
    const char* what;
    PulseParameters p;
    int count;
    bool cut;
};

class SampleCount : public testing::TestWithParam<CountCase> {};

TEST_P(SampleCount, FollowsTruncationAndLimits) {
    const CountCase& c = GetParam();
    const SamplePlan plan = planSamples(c.p);
    EXPECT_EQ(plan.count, c.count);
    EXPECT_EQ(plan.cut, c.cut);
    EXPECT_EQ(cutCoverageSeconds(c.p).has_value(), c.cut);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SampleCount,
    testing::Values(CountCase{"seconds", params(1, 0.011, 0.1, 10000), 1000, false},
                    CountCase{"milliseconds", params(1, 11, 100, 10, kSine, kMs), 1000, false},
                    CountCase{"dense_ms", params(1, 11, 100, 10000, kSine, kMs), 1000000, false},
                    // 0.011 / 0.0001 is 109.99999999999999: truncated, not rounded.
                    CountCase{"span_is_pulse", params(1, 0.011, 0.005, 10000), 109, false},
                    CountCase{"rate_zero", params(1, 0.011, 0.1, 0), 0, false},
                    CountCase{"rate_negative", params(1, 0.011, 0.1, -10000), -1000, false},
                    CountCase{"small_negative", params(1, 0.00005, 0.00005, -10000), 0, false},
                    CountCase{"below_int_range", params(1, 0.011, 3e9, -1), 0, false},
                    CountCase{"nan_rate", params(1, 0.011, 0.1, kNaN), 0, false},
                    CountCase{"nan_total", params(1, 0.011, kNaN, 10000), 109, false},
                    CountCase{"nan_pulse", params(1, kNaN, 0.1, 10000), 0, false},
                    CountCase{"exactly_max", params(1, 0.011, 200, 10000), kMaxSamples, false},
                    CountCase{"max_plus_half", params(1, 0.011, 200.00005, 10000), kMaxSamples,
                              false},
                    CountCase{"max_plus_two", params(1, 0.011, 200.0002, 10000), kMaxSamples, true},
                    CountCase{"far_above", params(1, 0.011, 1000, 10000), kMaxSamples, true},
                    CountCase{"infinite_rate", params(1, 0.011, 0.1, kInf), kMaxSamples, true},
                    CountCase{"infinite_total", params(1, 0.011, kInf, 10), kMaxSamples, true}),
    [](const testing::TestParamInfo<CountCase>& info) { return info.param.what; });

TEST(PulseSeriesTest, PiIsTheNearestDouble) {
    EXPECT_EQ(kPi, 3.141592653589793);
}

TEST(PulseSeriesTest, SecondsPulseEndsJustBeforeSample110) {
    ASSERT_EQ(computePulseSeries(params(1, 0.011, 0.1, 10000)), 1000);
    EXPECT_EQ(pulseSeries.count, 1000);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(pulseSeries.time[i], i * 0.0001) << i;
    EXPECT_EQ(pulseSeries.amplitude[0], 0.0);
    EXPECT_EQ(pulseSeries.amplitude[55], 1.0);
    EXPECT_GT(pulseSeries.amplitude[109], 0.02);
    // 110 * 0.0001 is 0.011000000000000001, just past the pulse.
    EXPECT_EQ(pulseSeries.time[110], 0.011000000000000001);
    for (int i = 110; i < 1000; ++i) ASSERT_EQ(pulseSeries.amplitude[i], 0.0) << i;
}

TEST(PulseSeriesTest, MillisecondPulseKeepsItsEndSample) {
    ASSERT_EQ(computePulseSeries(params(1, 11, 100, 10, kSine, kMs)), 1000);
    // 110 * 0.1 is exactly 11: the sine of the double just below pi remains.
    EXPECT_NEAR(pulseSeries.amplitude[110], 5.6655e-16, 1e-20);
    EXPECT_EQ(pulseSeries.amplitude[111], 0.0);
    EXPECT_EQ(pulseSeries.time[999], (999 * 0.1) * 0.001);
    EXPECT_EQ(pulseSeries.time[1], 0.1 * 0.001);  // multiplied, not divided by 1000
}

TEST(PulseSeriesTest, TerminalSawtoothRampsToTheEnd) {
    ASSERT_EQ(computePulseSeries(params(2, 0.011, 0.1, 10000, kSaw)), 1000);
    EXPECT_EQ(pulseSeries.amplitude[0], 0.0);
    EXPECT_EQ(pulseSeries.amplitude[1], 0.018181818181818184);
    EXPECT_EQ(pulseSeries.amplitude[55], 1.0000000000000002);
    EXPECT_EQ(pulseSeries.amplitude[109], 1.981818181818182);
    EXPECT_EQ(pulseSeries.amplitude[110], 0.0);
}

TEST(PulseSeriesTest, CapCoversOnlyTheFirstTwoMillionSteps) {
    const PulseParameters p = params(1, 0.011, 1000, 10000);
    ASSERT_EQ(computePulseSeries(p), kMaxSamples);
    EXPECT_EQ(pulseSeries.time[kMaxSamples - 1], (kMaxSamples - 1) * 0.0001);
    EXPECT_EQ(*cutCoverageSeconds(p), 200.0);
    EXPECT_EQ(*cutCoverageSeconds(params(1, 11, 1e9, 10, kSine, kMs)), kMaxSamples * 0.1 * 0.001);
}

TEST(PulseSeriesTest, DegeneratePulsesLeaveOnlyTheFirstSample) {
    const struct {
        PulseParameters p;
        bool firstIsNaN;  // 0 / 0
    } cases[] = {
        {params(1, 0, 0.1, 10000), true},
        {params(1, 0, 0.1, 10000, kSaw), true},
        {params(1, -0.05, 0.1, 10000), false},  // 0 > negative: no sample in the pulse
        {params(1, -0.05, 0.1, 10000, kSaw), false},
        {params(1, 0.05, 0.1, 10000, PulseType{2}), false},
        {params(1, 0.05, 0.1, 10000, PulseType{-1}), false},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(computePulseSeries(c.p), 1000);
        EXPECT_EQ(std::isnan(pulseSeries.amplitude[0]), c.firstIsNaN);
        if (!c.firstIsNaN) {
            EXPECT_EQ(pulseSeries.amplitude[0], 0.0);
        }
        for (int i = 1; i < 1000; ++i) {
            ASSERT_EQ(pulseSeries.time[i], i * 0.0001);
            ASSERT_EQ(std::bit_cast<std::uint64_t>(pulseSeries.amplitude[i]), 0u) << i;  // +0.0
        }
    }
}

TEST(PulseSeriesTest, NegativeAmplitudeStartsAtNegativeZero) {
    for (PulseType type : {kSine, kSaw}) {
        computePulseSeries(params(-2, 0.011, 0.1, 10000, type));
        EXPECT_EQ(pulseSeries.amplitude[0], 0.0);
        EXPECT_TRUE(std::signbit(pulseSeries.amplitude[0]));  // 0 * negative
        EXPECT_LT(pulseSeries.amplitude[1], 0.0);
        EXPECT_FALSE(std::signbit(pulseSeries.amplitude[110]));  // after the pulse: +0
    }
}

}  // namespace
}  // namespace korvex
