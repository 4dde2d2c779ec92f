#include "pulse/compensation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "analysis/motion.h"
#include "pulse/pulse_series.h"

namespace korvex {
namespace {

constexpr auto kSine = PulseType::HalfSine;
constexpr auto kSaw = PulseType::TerminalSawtooth;
constexpr auto kMs = TimeUnit::Milliseconds;
constexpr auto kSec = TimeUnit::Seconds;

// A second series beside pulseSeries, for comparisons.
PulseSeries other;

double seconds(const PulseParameters& p, double t) {
    return p.timeUnit == kMs ? t * 0.001 : t;
}

// The generator's first n samples of the pulse, in a record long enough to
// hold them all.
std::vector<double> generatorSamples(PulseParameters p, std::int64_t n) {
    p.totalDuration = static_cast<double>(n + 1) / p.sampleRate;
    computePulseSeries(p);
    return {pulseSeries.amplitude.begin(), pulseSeries.amplitude.begin() + n};
}

struct RecordCase {
    const char* what;
    PulseParameters p;
    double ratio;
    bool cut;
    bool endsAtRest;
};

class CompensatedRecord : public testing::TestWithParam<RecordCase> {};

TEST_P(CompensatedRecord, EndsAtRestWithTheMainPulseIntact) {
    const RecordCase& c = GetParam();
    const CompensationPlan plan = planCompensation(c.p, c.ratio);
    const std::int64_t mainSamples = plan.mainEnd - plan.mainStart;
    const std::vector<double> main = generatorSamples(c.p, mainSamples);
    const int n = computeCompensatedSeries(c.p, plan, pulseSeries);
    ASSERT_EQ(n, plan.count);
    EXPECT_EQ(plan.cut, c.cut);
    ASSERT_EQ(plan.endsAtRest, c.endsAtRest);
    const double* a = pulseSeries.amplitude.data();
    const double dt = 1.0 / c.p.sampleRate;

    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(pulseSeries.time[i], seconds(c.p, i * dt)) << i;
    }
    EXPECT_EQ(a[0], 0.0);
    for (std::int64_t j = 0; j < mainSamples && plan.mainStart + j < n; ++j) {
        ASSERT_EQ(std::bit_cast<std::uint64_t>(a[plan.mainStart + j]),
                  std::bit_cast<std::uint64_t>(main[j]))
            << j;
    }
    if (!c.endsAtRest) return;

    // The sampled compensation peaks, against P |A|.
    const double peak = c.ratio * std::fabs(c.p.amplitude);
    const double prePeak = std::fabs(*std::max_element(
        a, a + plan.mainStart, [](double x, double y) { return std::fabs(x) < std::fabs(y); }));
    double postPeak = 0.0;
    for (std::int64_t i = plan.mainEnd; i < plan.postEnd; ++i) {
        ASSERT_LT(a[i] * c.p.amplitude, 0.0) << i;  // the opposite sign
        postPeak = std::max(postPeak, std::fabs(a[i]));
    }
    EXPECT_NEAR(prePeak, peak, 0.01 * peak);
    EXPECT_NEAR(postPeak, peak, 0.01 * peak);
    EXPECT_GE((n - 1) * dt, plan.preDuration + c.p.pulseDuration + plan.postDuration);

    const MotionFigures m = computeMotion({a, static_cast<std::size_t>(n)}, seconds(c.p, dt));
    EXPECT_LE(std::fabs(m.finalVelocity), 1e-9 * std::fabs(m.peakVelocity));
    EXPECT_LE(std::fabs(m.finalDisplacement), 1e-9 * std::fabs(m.peakDisplacement));
}

PulseParameters params(double amplitude, double pulse, double total, double rate, PulseType type,
                       TimeUnit unit) {
    return {amplitude, pulse, total, rate, type, unit};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompensatedRecord,
    testing::Values(
        RecordCase{"sine_shortest", params(50, 11, 0, 10, kSine, kMs), 0.2, false, true},
        RecordCase{"sawtooth_full_ratio", params(50, 11, 100, 10, kSaw, kMs), 1.0, false, true},
        RecordCase{"sawtooth_negative", params(-30, 0.006, 0.5, 20000, kSaw, kSec), 0.5, false,
                   true},
        // 18 samples per pulse.
        RecordCase{"sawtooth_coarse", params(30, 6, 10, 3, kSaw, kMs), 0.7, false, true},
        RecordCase{"sine_small_ratio", params(3, 0.011, 0.2, 100000, kSine, kSec), 0.05, false,
                   true},
        // 200 s after the pulses: the displacement's drift stays far inside.
        RecordCase{"sawtooth_long", params(50, 0.011, 200, 10000, kSaw, kSec), 0.2, false, true},
        RecordCase{"sine_tail_cut", params(-50, 11, 3e5, 10, kSine, kMs), 0.3, true, true},
        // The pre-pulse alone fills 1.5 million samples: the post-pulse is cut.
        RecordCase{"post_pulse_cut", params(10, 11, 0, 10, kSine, kMs), 11.0 / 300000, true,
                   false}),
    [](const testing::TestParamInfo<RecordCase>& info) { return info.param.what; });

TEST(Compensation, MatchesTheContinuousPulsesWhenFinelySampled) {
    // The half-sine's motion in closed form, with D' = A D / pi and
    // a = b = D / (2P): the velocity runs down to -D' over the pre-pulse,
    // -D' cos(pi t / D) through the main pulse and back up to 0, and the
    // displacement, -D' a / pi at the main pulse's start, reaches its
    // extreme halfway through it: -(A D^2 / pi) (1 / (4P) + 1 / pi).
    // The sawtooth's closed-form durations must need no correction beyond
    // the sampled drop, of the order of dt / D.
    const struct {
        PulseType type;
        double ratio;
    } cases[] = {{kSine, 1.0}, {kSine, 0.2}, {kSaw, 1.0}, {kSaw, 0.3}, {kSaw, 0.05}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.type) << " P " << c.ratio);
        const PulseParameters p = params(50, 11, 0, 1000, c.type, kMs);
        const CompensationPlan plan = planCompensation(p, c.ratio);
        EXPECT_NEAR(plan.preDuration / plan.continuousPre, 1.0, 2e-4);
        EXPECT_NEAR(plan.postDuration / plan.continuousPost, 1.0, 2e-4);
        EXPECT_NEAR(plan.preScale, 1.0, 1e-6);
        EXPECT_NEAR(plan.postScale, 1.0, 1e-6);
        if (c.type != kSine) continue;

        const int n = computeCompensatedSeries(p, plan, pulseSeries);
        const MotionFigures m =
            computeMotion({pulseSeries.amplitude.data(), static_cast<std::size_t>(n)}, 1e-6);
        const double A = 50, D = 0.011;
        const double x = -(A * D * D / kPi) * (1 / (4 * c.ratio) + 1 / kPi);
        EXPECT_NEAR(std::fabs(m.peakVelocity), A * D / kPi, 1e-6 * A * D);
        EXPECT_NEAR(m.peakDisplacement, x, 1e-5 * std::fabs(x));
        EXPECT_NEAR(m.displacementPeakToPeak, -x, 1e-5 * std::fabs(x));
    }
}

TEST(Compensation, RatioZeroIsTheGeneratorsRecord) {
    const PulseParameters cases[] = {
        params(50, 11, 100, 10, kSine, kMs),
        params(-2, 0.011, 0.1, 10000, kSaw, kSec),
        params(1, 0.011, 0.1, -10000, kSine, kSec),  // a negative count
        params(1, std::numeric_limits<double>::quiet_NaN(), 0.1, 10000, kSine, kSec),
        params(1, 0.05, 0.1, 10000, PulseType{2}, kSec),
        params(1, 0.011, 1000, 10000, kSine, kSec),  // cut at the cap
    };
    for (const PulseParameters& p : cases) {
        const int want = computePulseSeries(p);
        const CompensationPlan plan = planCompensation(p, 0.0);
        EXPECT_FALSE(plan.endsAtRest);
        EXPECT_EQ(plan.cut, planSamples(p).cut);
        ASSERT_EQ(computeCompensatedSeries(p, plan, other), want);
        ASSERT_EQ(other.count, want);
        for (int i = 0; i < want; ++i) {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(other.time[i]),
                      std::bit_cast<std::uint64_t>(pulseSeries.time[i]));
            ASSERT_EQ(std::bit_cast<std::uint64_t>(other.amplitude[i]),
                      std::bit_cast<std::uint64_t>(pulseSeries.amplitude[i]));
        }
    }
}

TEST(Compensation, RefusesWhatItCannotCompensate) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const PulseParameters fine = params(50, 11, 0, 10, kSine, kMs);
    const struct {
        PulseParameters p;
        double ratio;
        CompensationInput input;
    } cases[] = {
        {fine, -0.1, CompensationInput::Ratio},
        {fine, 1.01, CompensationInput::Ratio},
        {fine, nan, CompensationInput::Ratio},
        {params(nan, 11, 0, 10, kSine, kMs), 0.5, CompensationInput::Amplitude},
        {params(50, 0, 0, 10, kSine, kMs), 0.5, CompensationInput::PulseDuration},
        {params(50, 11, 0, 0, kSine, kMs), 0.5, CompensationInput::SampleRate},
        {params(50, 11, 0, 10, PulseType{-1}, kMs), 0.5, CompensationInput::PulseType},
        // 12 samples per pulse: the sampled pre- and post-pulse fall 2 % short.
        {params(50, 6, 0, 2, kSine, kMs), 1.0, CompensationInput::SampleRate},
        {params(50, 11, 0, 10, kSine, kMs), 1e-14, CompensationInput::Ratio},
    };
    for (const auto& c : cases) {
        try {
            planCompensation(c.p, c.ratio);
            ADD_FAILURE() << "accepted ratio " << c.ratio;
        } catch (const CompensationError& e) {
            EXPECT_EQ(e.input(), c.input) << e.what();
        }
    }
}

TEST(Compensation, ZeroAmplitudeIsAQuietRecordAtRest) {
    const PulseParameters p = params(0, 11, 0, 10, kSaw, kMs);
    const CompensationPlan plan = planCompensation(p, 0.5);
    EXPECT_TRUE(plan.endsAtRest);
    const int n = computeCompensatedSeries(p, plan, pulseSeries);
    EXPECT_GE(n, plan.postEnd + 1);
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(std::bit_cast<std::uint64_t>(pulseSeries.amplitude[i]), 0u);
}

}  // namespace
}  // namespace korvex
