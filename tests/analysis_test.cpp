#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "analysis/pulse_figures.h"
#include "analysis/series_reduction.h"
#include "analysis/srs.h"
#include "pulse/pulse_series.h"

namespace korvex {
namespace {

// The recurrence as written, one frequency at a time over every sample and
// on over zeros until the response has decayed by e^-40: the vectorised,
// threaded, early-stopping spectrum must give these bits.
SrsPoint plainSpectrumPoint(const std::vector<double>& x, double f, const SrsPlan& plan) {
    const SrsFilter c = srsFilter(f, plan.intervalS, plan.q);
    const auto residual = static_cast<std::size_t>(40 / (1 - std::sqrt(c.a2)));
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double pos = -INFINITY, neg = -INFINITY;
    for (std::size_t n = 0; n < x.size() + residual; ++n) {
        const double x0 = n < x.size() ? x[n] : 0.0;
        const double y = c.b0 * x0 + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
        x2 = x1, x1 = x0, y2 = y1, y1 = y;
        pos = std::max(pos, y);
        neg = std::max(neg, -y);
    }
    return {f, pos, neg, std::max(pos, neg)};
}

TEST(ShockSpectrum, MatchesThePlainRecurrenceBitForBit) {
    std::mt19937_64 rng(20261208);
    struct Case {
        int burst, zeros;
        SrsSettings settings;
    };
    // Short and long bursts, records that end while ringing and long quiet
    // tails, light and heavy damping, and lane counts that leave a partial block.
    const Case cases[] = {
        {50, 20000, {}},
        {3, 60000, {10, 2.0, 400.0, 24}},
        {400, 0, {5, 20.0, 4000.0, 7}},
        {1000, 5, {50, 100.0, 1000.0, 12}},
        {20, 100000, {0.6, 10.0, 2000.0, 3}},
    };
    for (const Case& c : cases) {
        std::vector<double> x(c.burst + c.zeros, 0.0);
        std::uniform_real_distribution<double> value(-1.0, 1.0);
        for (int i = 0; i < c.burst; ++i) x[i] = value(rng) * std::pow(10.0, value(rng) * 3);
        const SrsPlan plan = planShockSpectrum(c.settings, 1e-4);
        for (unsigned threads : {1u, 2u}) {
            const std::vector<SrsPoint> got = computeShockSpectrum(x, plan, threads);
            ASSERT_EQ(got.size(), plan.frequencies.size());
            for (std::size_t k = 0; k < got.size(); ++k) {
                const SrsPoint want = plainSpectrumPoint(x, plan.frequencies[k], plan);
                SCOPED_TRACE(testing::Message() << "burst " << c.burst << ", " << want.frequencyHz
                                                << " Hz, " << threads << " threads");
                EXPECT_EQ(got[k].frequencyHz, want.frequencyHz);
                EXPECT_EQ(got[k].positive, want.positive);
                EXPECT_EQ(got[k].negative, want.negative);
                EXPECT_EQ(got[k].maximax, want.maximax);
            }
        }
    }
}

// The single-degree-of-freedom system solved exactly, in long double, one
// sample interval at a time: between samples the base acceleration is a
// line, from rest at t = -T (where the filters' zero history puts it) until
// the free vibration after the record has died down. Peaks at the samples.
SrsPoint continuousPoint(const std::vector<double>& x, double f, double T, double q, SrsKind kind) {
    using R = long double;
    const R w = 2 * std::acos(R{-1}) * f, zeta = 1 / (2 * R{q}), sigma = zeta * w;
    const R wd = w * std::sqrt(1 - zeta * zeta);
    const R decay = std::exp(-sigma * T), c = std::cos(wd * T), s = std::sin(wd * T);
    const std::size_t residual = static_cast<std::size_t>(40 / (sigma * T));
    R z = 0, v = 0, previous = 0;
    double pos = -INFINITY, neg = -INFINITY;
    for (std::size_t n = 0; n < x.size() + residual; ++n) {
        const R now = n < x.size() ? R{x[n]} : R{0};
        // z'' + 2 sigma z' + w^2 z = -(p + q t) on [0, T]: a line plus a decaying cosine.
        const R p = previous, slope = (now - previous) / T;
        const R beta = -slope / (w * w), alpha = (-p - 2 * sigma * beta) / (w * w);
        const R c1 = z - alpha, c2 = (v - beta + sigma * c1) / wd;
        z = alpha + beta * T + decay * (c1 * c + c2 * s);
        v = beta + decay * ((-sigma * c1 + wd * c2) * c + (-sigma * c2 - wd * c1) * s);
        previous = now;
        const R y = kind == SrsKind::Acceleration     ? -(2 * sigma * v + w * w * z)
                    : kind == SrsKind::PseudoVelocity ? w * z
                                                      : z;
        pos = std::max(pos, static_cast<double>(y));
        neg = std::max(neg, static_cast<double>(-y));
    }
    return {f, pos, neg, std::max(pos, neg)};
}

TEST(ShockSpectrum, EachKindIsTheExactResponseToALinearlyInterpolatedRecord) {
    std::mt19937_64 rng(18431);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::vector<double> noise(3000);
    for (double& v : noise) v = 40 * value(rng);
    const PulseParameters shock{
        1500.0, 0.5, 20.0, 100.0, PulseType::HalfSine, TimeUnit::Milliseconds};
    const int n = computePulseSeries(shock);
    const std::vector<double> pulse(pulseSeries.amplitude.begin(),
                                    pulseSeries.amplitude.begin() + n);
    struct Case {
        const std::vector<double>* record;
        double interval;
        SrsSettings settings;
    };
    const Case cases[] = {
        {&pulse, 1e-5, {10, 10.0, 4000.0, 3}},
        {&noise, 1e-4, {10, 10.0, 1000.0, 2}},
        {&noise, 1.0 / 51200, {25, 40.0, 5000.0, 1}},
        {&pulse, 1e-5, {0.7, 10.0, 4000.0, 2}},
    };
    for (const Case& c : cases) {
        for (SrsKind kind :
             {SrsKind::Acceleration, SrsKind::PseudoVelocity, SrsKind::Displacement}) {
            SrsSettings settings = c.settings;
            settings.kind = kind;
            const SrsPlan plan = planShockSpectrum(settings, c.interval);
            const std::vector<SrsPoint> got = computeShockSpectrum(*c.record, plan);
            for (std::size_t k = 0; k < got.size(); ++k) {
                const SrsPoint want =
                    continuousPoint(*c.record, plan.frequencies[k], c.interval, plan.q, kind);
                SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << ", Q "
                                                << plan.q << ", " << want.frequencyHz << " Hz");
                const double tolerance = 1e-9 * want.maximax;
                EXPECT_NEAR(got[k].positive, want.positive, tolerance);
                EXPECT_NEAR(got[k].negative, want.negative, tolerance);
            }
        }
    }
}

TEST(ShockSpectrum, TheResponseAfterTheRecordCountsAsIfTheRecordWentOn) {
    // A 0.5 ms shock in a 20 ms record rings at 10 Hz long after the record
    // ends; padding the record with zeros to 200 ms must change nothing.
    std::vector<std::vector<SrsPoint>> spectra;
    for (double total : {20.0, 200.0}) {
        const PulseParameters p{
            1500.0, 0.5, total, 100.0, PulseType::HalfSine, TimeUnit::Milliseconds};
        const int n = computePulseSeries(p);
        const std::vector<double> x(pulseSeries.amplitude.begin(),
                                    pulseSeries.amplitude.begin() + n);
        spectra.push_back(computeShockSpectrum(x, planShockSpectrum({}, 1e-5)));
    }
    ASSERT_EQ(spectra[0].size(), spectra[1].size());
    for (std::size_t k = 0; k < spectra[0].size(); ++k) {
        EXPECT_EQ(spectra[0][k].positive, spectra[1][k].positive) << k;
        EXPECT_EQ(spectra[0][k].negative, spectra[1][k].negative) << k;
    }
    EXPECT_GT(spectra[0].front().negative, 20.0);
}

TEST(ShockSpectrum, StiffSystemsFollowThePulseAndNaNPropagates) {
    // 11 ms half-sine of amplitude 3 sampled at 1 MHz: at 100 kHz the system
    // rides the pulse, so its peak is the pulse's.
    const PulseParameters p{3.0, 0.011, 0.02, 1e6, PulseType::HalfSine, TimeUnit::Seconds};
    const int n = computePulseSeries(p);
    const std::vector<double> x(pulseSeries.amplitude.begin(), pulseSeries.amplitude.begin() + n);
    const SrsPlan plan = planShockSpectrum({10, 50e3, 100e3, 1}, 1e-6);
    const std::vector<SrsPoint> srs = computeShockSpectrum(x, plan);
    ASSERT_EQ(srs.size(), 2u);
    EXPECT_NEAR(srs.back().maximax, 3.0, 3e-3);
    EXPECT_NEAR(srs.back().positive, 3.0, 3e-3);

    std::vector<double> bad = x;
    bad[0] = NAN;
    for (const SrsPoint& s : computeShockSpectrum(bad, plan)) EXPECT_TRUE(std::isnan(s.maximax));
}

TEST(ShockSpectrum, PlansTheRangeAndNamesTheBadSetting) {
    const SrsPlan plan = planShockSpectrum({}, 1e-4);  // 10 Hz to a tenth of 10 kHz
    ASSERT_EQ(plan.frequencies.size(), 80u);
    EXPECT_EQ(plan.frequencies.front(), 10.0);
    EXPECT_DOUBLE_EQ(plan.frequencies.back(), 10.0 * std::pow(2.0, 79.0 / 12));
    EXPECT_EQ(planShockSpectrum({10, 10.0, 1280.0, 1}, 1e-4).frequencies.back(), 1280.0);

    struct Bad {
        SrsSettings settings;
        double interval;
        SrsSetting setting;
    };
    const Bad bad[] = {
        {{0.5, {}, {}, 12}, 1e-4, SrsSetting::Q},
        {{NAN, {}, {}, 12}, 1e-4, SrsSetting::Q},
        {{10, 0.0, {}, 12}, 1e-4, SrsSetting::From},
        {{10, 100.0, 99.0, 12}, 1e-4, SrsSetting::To},
        {{10, {}, 5000.0, 12}, 1e-4, SrsSetting::To},  // half the sample rate
        {{10, {}, {}, 12}, 1.0 / 50, SrsSetting::To},  // the default 5 Hz is below 10 Hz
        {{10, {}, {}, 0}, 1e-4, SrsSetting::PerOctave},
        {{10, {}, {}, 49}, 1e-4, SrsSetting::PerOctave},
        {{10, {}, {}, 2.5}, 1e-4, SrsSetting::PerOctave},
        // Settings that would run away rather than fail.
        {{10, 1e-300, {}, 48}, 1e-4, SrsSetting::Count},
        {{10, 5e-324, 4000.0, 1}, 1e-4, SrsSetting::From},  // coefficients not finite
        {{10, 1e-300, 1e9, 1}, 1e-10, SrsSetting::From},    // poles at 1 in double
        {{10, {}, {}, 12}, 1e-311, SrsSetting::Interval},
    };
    for (const Bad& b : bad) {
        try {
            planShockSpectrum(b.settings, b.interval);
            ADD_FAILURE() << "accepted setting " << static_cast<int>(b.setting);
        } catch (const SrsSettingError& e) {
            EXPECT_EQ(e.setting(), b.setting) << e.what();
        }
    }
}

TEST(MinMaxReduce, KeepsEverySpikeInOrder) {
    // Spikes up and down, no two in one column, far more samples than columns.
    std::vector<double> x(100000), y(100000, 0.0);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = 1e-4 * static_cast<double>(i);
    std::mt19937 rng(7);
    std::vector<std::size_t> spikes;
    for (int k = 0; k < 40; ++k) {
        const std::size_t at = 2500 * static_cast<std::size_t>(k) + rng() % 2000;
        y[at] = (k % 2 ? 1.0 : -1.0) * (1 + k);
        spikes.push_back(at);
    }
    const std::vector<ChartPoint> r = minMaxReduce(x, y, 300);
    EXPECT_LE(r.size(), 600u);
    for (std::size_t at : spikes) {
        EXPECT_NE(std::find(r.begin(), r.end(), ChartPoint{x[at], y[at]}), r.end()) << at;
    }
    EXPECT_TRUE(std::is_sorted(r.begin(), r.end(),
                               [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; }));
    EXPECT_EQ(minMaxReduce(std::span(x).first(500), std::span(y).first(500), 300).size(), 500u);
}

// A zoomed view reduces only what it shows: the samples inside the range and
// one on each side, found by bisection of the time column.
TEST(MinMaxReduce, RangeIsTheReductionOfTheVisibleSlice) {
    std::vector<double> x(20000), y(20000);
    std::mt19937 rng(11);
    std::normal_distribution<double> noise;
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = static_cast<double>(i / 2 * 2) / 16;  // pairs of equal times
        y[i] = noise(rng);
    }
    struct Case {
        double lo, hi;
        SampleRange expected;
    };
    const Case cases[] = {
        {-1.0, 2000.0, {0, 20000}},        // all of it
        {100.0, 200.0, {1599, 3203}},      // both samples at each end, and one more
        {100.01, 100.02, {1601, 1603}},    // between two samples: one each side
        {1240.0, 3000.0, {19839, 20000}},  // past the end
        {-2.0, -1.0, {0, 1}},              // before the start
        {0.3, 0.2, {0, 0}},                // upside down
    };
    for (const Case& c : cases) {
        const SampleRange r = visibleSamples(x, c.lo, c.hi);
        EXPECT_EQ(r, c.expected) << c.lo << " " << c.hi;
        const std::span<const double> xs(x.data() + r.begin, r.end - r.begin),
            ys(y.data() + r.begin, r.end - r.begin);
        for (int columns : {1, 700}) {
            EXPECT_EQ(minMaxReduceRange(x, y, c.lo, c.hi, columns), minMaxReduce(xs, ys, columns))
                << c.lo << " " << columns;
        }
    }
}

TEST(PulseFigures, FineHalfSineMatchesTheContinuousPulse) {
    const PulseParameters p{3.0, 11.0, 20.0, 1000.0, PulseType::HalfSine, TimeUnit::Milliseconds};
    computePulseSeries(p);
    const PulseFigures f = computePulseFigures(pulseSeries, p);
    EXPECT_EQ(f.samples, 20000);
    EXPECT_EQ(f.sampleInterval, 1e-6);
    EXPECT_DOUBLE_EQ(f.record, 0.02);
    EXPECT_FALSE(f.cut);
    EXPECT_EQ(f.peakAmplitude, 3.0);
    EXPECT_EQ(f.peakTime, pulseSeries.time[5500]);
    EXPECT_DOUBLE_EQ(f.velocityChangeIdeal, 2 * 3.0 * 0.011 / kPi);
    EXPECT_NEAR(f.velocityChange, f.velocityChangeIdeal, 1e-7 * f.velocityChangeIdeal);
}

TEST(PulseFigures, SignedPeakAndNaNSamples) {
    const PulseParameters saw{
        -2.0, 0.011, 0.1, 10000, PulseType::TerminalSawtooth, TimeUnit::Seconds};
    computePulseSeries(saw);
    PulseFigures f = computePulseFigures(pulseSeries, saw);
    EXPECT_LT(f.peakAmplitude, -1.98);
    EXPECT_EQ(f.peakTime, pulseSeries.time[109]);
    EXPECT_DOUBLE_EQ(f.velocityChangeIdeal, -2.0 * 0.011 / 2);

    PulseParameters none = saw;
    none.pulseDuration = 0;  // the first sample is 0/0
    computePulseSeries(none);
    f = computePulseFigures(pulseSeries, none);
    EXPECT_TRUE(std::isnan(f.peakAmplitude));
    EXPECT_EQ(f.peakTime, 0.0);
    EXPECT_TRUE(std::isnan(f.velocityChange));
    EXPECT_EQ(f.velocityChangeIdeal, 0.0);
}

}  // namespace
}  // namespace korvex
