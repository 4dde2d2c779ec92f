#include "analysis/motion.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "analysis/pulse_figures.h"
#include "pulse/pulse_series.h"

namespace korvex {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

MotionFigures fromArrays(const std::vector<double>& a, double dt) {
    std::vector<double> v(a.size()), x(a.size());
    integrateMotion(a, dt, v, x);
    return motionFigures(v, x);
}

void expectSame(double got, double want, const char* what) {
    if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got)) << what;
    } else {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want))
            << what << ": " << got << " vs " << want;
    }
}

TEST(Motion, OnePassGivesTheFiguresOfTheArrays) {
    std::mt19937_64 rng(20261209);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<std::vector<double>> records;
    // Lengths around the one-pass blocks, a burst and a long quiet tail,
    // a NaN and an infinity partway.
    for (std::size_t n : {0, 1, 2, 3, 255, 256, 257, 258, 512, 513, 1000, 4099}) {
        std::vector<double> a(n);
        for (double& x : a) x = unit(rng) * std::pow(10.0, 3 * unit(rng));
        records.push_back(a);
    }
    std::vector<double> burst(20000, 0.0);
    for (int i = 0; i < 300; ++i) burst[i] = unit(rng);
    records.push_back(burst);
    records.push_back(records[10]);
    records.back()[600] = kNaN;
    records.push_back(records[10]);
    records.back()[700] = kInf;
    // Exact ties of magnitude: velocity +1 before -1, displacement +1.5
    // before -1.5; and the same mirrored.
    records.push_back({0, 2, -2, -2, 2, -2, 2});
    records.push_back({-0.0, -2, 2, 2, -2, 2, -2});

    for (std::size_t r = 0; r < records.size(); ++r) {
        SCOPED_TRACE(testing::Message() << "record " << r << ", " << records[r].size());
        const double dt = r + 2 >= records.size() ? 1.0 : 1e-4;
        const MotionFigures want = fromArrays(records[r], dt);
        const MotionFigures got = computeMotion(records[r], dt);
        expectSame(got.peakVelocity, want.peakVelocity, "peak velocity");
        expectSame(got.finalVelocity, want.finalVelocity, "final velocity");
        expectSame(got.peakDisplacement, want.peakDisplacement, "peak displacement");
        expectSame(got.finalDisplacement, want.finalDisplacement, "final displacement");
        expectSame(got.displacementPeakToPeak, want.displacementPeakToPeak, "peak to peak");
    }
    const MotionFigures tie = computeMotion(records[records.size() - 2], 1.0);
    EXPECT_EQ(tie.peakVelocity, 1.0);
    EXPECT_EQ(tie.peakDisplacement, 1.5);
    EXPECT_EQ(tie.displacementPeakToPeak, 3.0);
    const MotionFigures mirrored = computeMotion(records.back(), 1.0);
    EXPECT_EQ(mirrored.peakVelocity, -1.0);
    EXPECT_EQ(mirrored.peakDisplacement, -1.5);
}

TEST(Motion, FollowsTheTrapezoidRule) {
    // Constant acceleration 2 for 1 s: v = 2t, x = t^2, which the rule
    // integrates exactly but for rounding.
    const std::vector<double> constant(1001, 2.0);
    const MotionFigures c = computeMotion(constant, 1e-3);
    EXPECT_NEAR(c.finalVelocity, 2.0, 1e-12);
    EXPECT_NEAR(c.finalDisplacement, 1.0, 1e-12);
    EXPECT_EQ(c.peakDisplacement, c.finalDisplacement);

    // An uncompensated pulse keeps its velocity change, bit for bit.
    const PulseParameters p{50, 11, 100, 10, PulseType::TerminalSawtooth, TimeUnit::Milliseconds};
    const int n = computePulseSeries(p);
    const MotionFigures m = computeMotion(
        {pulseSeries.amplitude.data(), static_cast<std::size_t>(n)}, sampleIntervalSeconds(p));
    EXPECT_EQ(m.finalVelocity, computePulseFigures(pulseSeries, p).velocityChange);
    EXPECT_GT(m.finalDisplacement, 0.0);
}

TEST(Motion, ShakerMarginsInPhysicalUnits) {
    MotionFigures f;
    f.peakVelocity = -0.35;  // amplitude units x s
    f.finalVelocity = f.finalDisplacement = f.peakDisplacement = 0.0;
    f.displacementPeakToPeak = 0.003;  // amplitude units x s^2
    const struct {
        AccelerationUnit unit;
        ShakerLimits limits;
        double strokeMm, velocityMps;
        bool strokeOver, velocityOver;
    } cases[] = {
        {AccelerationUnit::G, {}, 29.41995, 3.4323275, false, false},
        {AccelerationUnit::G, {25.0, 5.0}, 29.41995, 3.4323275, true, false},
        {AccelerationUnit::MetersPerSecond2, {2.5, 0.3}, 3.0, 0.35, true, true},
    };
    for (const auto& c : cases) {
        const ShakerCheck s = checkShakerLimits(f, c.unit, c.limits);
        EXPECT_DOUBLE_EQ(s.strokeMm, c.strokeMm);
        EXPECT_DOUBLE_EQ(s.velocityMps, c.velocityMps);
        // Infinite without a limit.
        const auto near = [](double got, double want) {
            if (std::isinf(want)) return got == want;
            return std::fabs(got - want) <= 1e-12;
        };
        EXPECT_PRED2(near, s.strokeMarginMm, c.limits.maxStrokeMm - c.strokeMm);
        EXPECT_PRED2(near, s.velocityMarginMps, c.limits.maxVelocityMps - c.velocityMps);
        EXPECT_EQ(s.strokeExceeded, c.strokeOver);
        EXPECT_EQ(s.velocityExceeded, c.velocityOver);
        EXPECT_EQ(s.withinLimits(), !c.strokeOver && !c.velocityOver);
    }
    // Motion that is not a number is never within a limit.
    const ShakerCheck unknown = checkShakerLimits(MotionFigures{}, AccelerationUnit::G, {});
    EXPECT_TRUE(unknown.strokeExceeded && unknown.velocityExceeded);
}

TEST(Motion, TableLinesAreShortestRoundTripNumbers) {
    const std::vector<double> accel{0.0, -9.5, 1e300};
    const std::vector<double> velocity{0.0, 0.1, -2.5e-7};
    const std::vector<double> displacement{0.0, 1.0 / 3, kNaN};
    const RecordView record{{}, accel, 0.0, 1e-4};
    std::string out(3 * kMotionLineMaxSize, '\0');
    out.resize(formatMotionLines(out.data(), record, velocity, displacement, {}, 0, 3));
    EXPECT_EQ(out, "0 0 0 0\n1e-04 -9.5 0.1 0.3333333333333333\n2e-04 1e+300 -2.5e-07 nan\n");

    const std::vector<double> times{0.5, 0.75};
    const RecordView timed{times, accel, 0.0, 0.0};
    std::string g(2 * kMotionLineMaxSize, '\0');
    g.resize(formatMotionLines(g.data(), timed, velocity, displacement,
                               motionScale(AccelerationUnit::G), 1, 2));
    EXPECT_EQ(g, "0.75 -9.5 0.980665 3268.883333333333\n");
}

}  // namespace
}  // namespace korvex
