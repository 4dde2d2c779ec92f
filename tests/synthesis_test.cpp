#include "analysis/synthesis/synthesis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/motion.h"
#include "analysis/synthesis/joint_step.h"

namespace korvex {
namespace {

double peakOf(const std::vector<double>& x) {
    double peak = 0.0;
    for (double v : x) peak = std::max(peak, std::fabs(v));
    return peak;
}

// The acceleration, velocity and displacement at the end, each as a share
// of its peak: what a shaker needs to end at rest and in place.
void expectEndsAtRest(const std::vector<double>& a, double dt, const std::string& what) {
    std::vector<double> v(a.size()), x(a.size());
    integrateMotion(a, dt, v, x);
    EXPECT_EQ(a.front(), 0.0) << what;
    EXPECT_LE(std::fabs(a.back()), 1e-9 * peakOf(a)) << what;
    EXPECT_LE(std::fabs(v.back()), 1e-9 * peakOf(v)) << what;
    EXPECT_LE(std::fabs(x.back()), 1e-9 * peakOf(x)) << what;
}

SynthesisSettings smallTarget() {
    SynthesisSettings s;
    s.target = parseTargetList("20:2,400:40,2000:40");
    s.sampleRateHz = 20000;
    s.durationS = 0.3;
    s.perOctave = 6;
    s.threads = 1;
    return s;
}

TEST(Synthesis, EachWaveletStartsAndEndsAtRestOnItsSamples) {
    // Coarse and fine sampling, few and many half-cycles, intervals that do
    // not divide the wavelet: the continuous wavelet ends at rest, its
    // samples only after the correction.
    struct Case {
        double f;
        int n;
        double dt;
    };
    for (const Case& c : {Case{10, 3, 1e-4}, Case{1000, 31, 1e-5}, Case{4000, 7, 1e-4},
                          Case{333.3, 11, 7.3e-5}, Case{9000, 31, 2e-5}}) {
        std::vector<double> w = sampleUnitWavelet(c.f, c.n, c.dt);
        ASSERT_EQ(static_cast<std::int64_t>(w.size()), waveletSampleCount(c.f, c.n, c.dt));
        EXPECT_LE((w.size() - 1) * c.dt, c.n / (2 * c.f));
        EXPECT_GT(w.size() * c.dt, c.n / (2 * c.f));
        EXPECT_GT(peakOf(w), 0.8);  // under the window, a little below 1 for few half-cycles
        EXPECT_LT(peakOf(w), 1.0 + 1e-9);
        w.push_back(0.0);
        expectEndsAtRest(w, c.dt, std::to_string(c.f) + " Hz");
    }
}

TEST(Synthesis, OneFrequencyGivesOneWaveletAtTheLevel) {
    SynthesisSettings s = smallTarget();
    s.target = parseTargetList("1000:100");
    s.durationS = 0.05;
    const SynthesisResult r = synthesizeDrive(s);
    ASSERT_EQ(r.wavelets.size(), 1u);
    ASSERT_TRUE(r.converged);
    EXPECT_EQ(r.spectrum.at(0).frequencyHz, 1000.0);
    EXPECT_NEAR(r.spectrum[0].maximax, 100.0, 100.0 * (std::pow(10.0, 1.0 / 20) - 1));
    // The drive is that wavelet alone, scaled and delayed.
    const std::vector<double> unit =
        sampleUnitWavelet(1000.0, r.wavelets[0].halfCycles, 1 / 20000.0);
    for (std::size_t i = 0; i < r.drive.size(); ++i) {
        const auto j = static_cast<std::int64_t>(i) - r.wavelets[0].delay;
        const double want =
            j >= 0 && j < std::ssize(unit) ? r.wavelets[0].amplitude * unit[j] : 0.0;
        ASSERT_EQ(r.drive[i], want) << i;
    }
}

TEST(Synthesis, DriveMeetsTheTargetAndEndsAtRest) {
    const SynthesisSettings s = smallTarget();
    const SynthesisResult r = synthesizeDrive(s);
    ASSERT_TRUE(r.converged) << r.check.worstMarginDb << " dB at " << r.check.worstFrequencyHz;
    ASSERT_EQ(r.wavelets.size(), r.plan.frequencies.size());
    // Judged afresh from the drive, as `check --target` would.
    const TargetCheck check =
        checkAgainstTarget(r.drive, r.intervalS, s.target, s.tolerance, s.q, s.perOctave);
    EXPECT_TRUE(check.passed()) << check.worstMarginDb << " dB at " << check.worstFrequencyHz;
    for (const TargetPointCheck& p : check.points) {
        EXPECT_GE(p.errorDb, -s.tolerance.lowDb) << p.frequencyHz;
        EXPECT_LE(p.errorDb, s.tolerance.highDb) << p.frequencyHz;
    }
    expectEndsAtRest(r.drive, r.intervalS, "drive");
}

TEST(Synthesis, SameSeedSameDriveOnAnyThreadCount) {
    SynthesisSettings s = smallTarget();
    s.attempts = 3;
    const SynthesisResult one = synthesizeDrive(s);
    s.threads = 3;
    const SynthesisResult three = synthesizeDrive(s);
    EXPECT_EQ(one.drive, three.drive);
    EXPECT_EQ(one.attempt, three.attempt);
    EXPECT_EQ(one.iterations, three.iterations);
    s.seed = 2;
    EXPECT_NE(synthesizeDrive(s).drive, one.drive);
}

TEST(Synthesis, ImpossibleRequestsNameTheSetting) {
    struct Case {
        const char* target;
        double rate, duration;
        SynthesisInput input;
        const char* words;
    };
    for (const Case& c : {
             Case{"100:1,12000:50", 20000, 0.3, SynthesisInput::Target, "half the sample rate"},
             Case{"10:1,100:10", 20000, 0.1, SynthesisInput::Duration, "too short"},
             Case{"100:1", 0, 0.1, SynthesisInput::SampleRate, "sample rate"},
             Case{"100:1", 20000, 1e9, SynthesisInput::Duration, "at most"},
         }) {
        SynthesisSettings s = smallTarget();
        s.target = parseTargetList(c.target);
        s.sampleRateHz = c.rate;
        s.durationS = c.duration;
        try {
            synthesizeDrive(s);
            ADD_FAILURE() << c.target << ": no error";
        } catch (const SynthesisError& e) {
            EXPECT_EQ(e.input(), c.input) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
        }
    }
}

TEST(Synthesis, DampedLeastSquaresSolvesSquareSystems) {
    // Undamped, the step solves J x = r; damped, it is shorter; a zero
    // column gives no step at all.
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (std::size_t n : {1u, 2u, 5u, 16u}) {
        std::vector<double> J(n * n), x(n), r(n, 0.0);
        for (std::size_t e = 0; e < n; ++e) {
            for (std::size_t c = 0; c < n; ++c) J[e * n + c] = unit(random) + (e == c ? 3.0 : 0.0);
        }
        for (double& v : x) v = unit(random);
        for (std::size_t e = 0; e < n; ++e) {
            for (std::size_t c = 0; c < n; ++c) r[e] += J[e * n + c] * x[c];
        }
        const std::vector<double> got = dampedLeastSquares(J, r, n, 0.0);
        double length = 0.0, damped = 0.0;
        const std::vector<double> shorter = dampedLeastSquares(J, r, n, 0.1);
        for (std::size_t c = 0; c < n; ++c) {
            EXPECT_NEAR(got[c], x[c], 1e-12) << n << " " << c;
            length += x[c] * x[c];
            damped += shorter[c] * shorter[c];
        }
        EXPECT_LT(damped, length) << n;
        for (std::size_t e = 0; e < n; ++e) J[e * n + n - 1] = 0.0;
        for (double v : dampedLeastSquares(J, r, n, 0.1)) EXPECT_EQ(v, 0.0) << n;
    }
}

TEST(TargetSpectrum, TableAndListReadTheSameAndInterpolateLogLog) {
    const SpectrumTarget table =
        parseTargetTable("# frequency level\n10 1\n\n100\t10\r\n1000, 1000\n", "t.txt");
    const SpectrumTarget list = parseTargetList("10:1, 100:10,1000:1000");
    ASSERT_EQ(table.points.size(), 3u);
    for (double f : {10.0, 31.6, 100.0, 316.2, 1000.0}) {
        EXPECT_EQ(table.levelAt(f), list.levelAt(f)) << f;
    }
    EXPECT_NEAR(table.levelAt(std::sqrt(10.0) * 10), std::sqrt(10.0), 1e-12);  // 6 dB/octave
    EXPECT_NEAR(table.levelAt(std::sqrt(10.0) * 100), 100.0, 1e-10);           // 12 dB/octave
}

TEST(TargetSpectrum, ErrorsNameTheLineOrPoint) {
    struct Case {
        const char* text;
        const char* where;
    };
    for (const Case& c : {Case{"10 1\n20 x\n", "t.txt:2: the level"},
                          Case{"10 1\n\n10 2\n", "t.txt:3: the frequencies must rise"},
                          Case{"# only\n", "t.txt: no breakpoints"},
                          Case{"10 1\n20\n", "t.txt:2: a frequency and a level"},
                          Case{"10 -1\n", "t.txt:1: the level must be above 0"}}) {
        try {
            parseTargetTable(c.text, "t.txt");
            ADD_FAILURE() << c.text;
        } catch (const TargetError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.where, 0), 0u) << e.what();
        }
    }
    EXPECT_THROW(parseTargetList("10:1,5:2"), TargetError);
    EXPECT_THROW(parseTargetList("10=1"), TargetError);
    EXPECT_THROW(parseTolerance("1"), TargetError);
    EXPECT_THROW(parseTolerance("1,-2"), TargetError);
    const DbTolerance t = parseTolerance("-1.5,3");
    EXPECT_EQ(t.lowDb, 1.5);
    EXPECT_EQ(t.highDb, 3.0);
}

TEST(TargetSpectrum, JudgementFindsTheWorstMargin) {
    const SpectrumTarget target = parseTargetList("100:10,400:10");
    std::vector<SrsPoint> points(3);
    const double levels[] = {10.0, 10.0 * std::pow(10.0, -1.2 / 20),
                             10.0 * std::pow(10.0, 2.5 / 20)};
    for (int k = 0; k < 3; ++k) {
        points[k].frequencyHz = 100.0 * (k + 1);
        points[k].maximax = levels[k];
    }
    const TargetCheck check = judgeTarget(points, target, {1.5, 3.0});
    EXPECT_TRUE(check.passed());
    EXPECT_EQ(check.worstFrequencyHz, 200.0);
    EXPECT_NEAR(check.worstMarginDb, 0.3, 1e-12);
    EXPECT_NEAR(check.worstLowDb, -1.2, 1e-12);
    EXPECT_NEAR(check.worstHighDb, 2.5, 1e-12);
    points[2].maximax = 10.0 * std::pow(10.0, 3.5 / 20);
    const TargetCheck over = judgeTarget(points, target, {1.5, 3.0});
    EXPECT_FALSE(over.passed());
    EXPECT_EQ(over.worstFrequencyHz, 300.0);
    EXPECT_NEAR(over.worstMarginDb, -0.5, 1e-12);
    points[1].maximax = std::nan("");
    EXPECT_FALSE(judgeTarget(points, target, {1.5, 3.0}).passed());
}

}  // namespace
}  // namespace korvex
