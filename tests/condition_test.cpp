#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/condition/filter.h"
#include "analysis/record_figures.h"

namespace korvex {
namespace {

using std::numbers::pi;

// The exact step response of the phaseless run from the section's poles:
// h[0] = a0, h[n] = 2 Re(a0 (p + 1)^2 p^(n-1) / (p - conj p)) (residues of
// H(z) z^(n-1)), g = the autocorrelation of h, the step response its sum.
std::vector<long double> exactPhaselessStep(const Biquad& s, std::size_t half) {
    using C = std::complex<long double>;
    const C p = (C(s.b1) + std::sqrt(C(s.b1 * s.b1 + 4 * s.b2))) / C(2);
    std::vector<long double> h{s.a0};
    for (C power = 1; std::abs(power) > 1e-40L; power *= p) {
        h.push_back(2 * std::real(C(s.a0) * (p + C(1)) * (p + C(1)) * power / (p - std::conj(p))));
    }
    const auto g = [&h](std::size_t k) {
        long double sum = 0;
        for (std::size_t m = 0; m + k < h.size(); ++m) sum += h[m] * h[m + k];
        return sum;
    };
    // step[i] for i in [-half, half): the output i samples after the step.
    std::vector<long double> step(2 * half);
    long double below = 0;
    for (std::size_t k = half + 1; k < h.size(); ++k) below += g(k);
    long double acc = below;
    for (std::size_t i = 0; i < 2 * half; ++i) {
        const long double offset = static_cast<long double>(i) - static_cast<long double>(half);
        acc += g(static_cast<std::size_t>(std::fabs(offset)));
        step[i] = acc;
    }
    return step;
}

TEST(Filter, AStepGivesTheExactStepResponseOnEveryPath) {
    const double dt = 1e-4;
    const std::size_t n = 200000, at = n / 2, half = 3000;
    std::vector<double> x(n, 0.0);
    std::fill(x.begin() + at, x.end(), 1.0);
    struct Case {
        const char* name;
        Biquad section;
    };
    for (const Case& c : {Case{"CFC60", lowPassFor({"CFC60", 60, 0}, dt)},
                          Case{"CFC1000", lowPassFor({"CFC1000", 1000, 0}, dt)},
                          Case{"250 Hz", lowPassFor({"250", 0, 250}, dt)}}) {
        const std::vector<long double> exact = exactPhaselessStep(c.section, half);
        for (bool plain : {true, false}) {
            std::vector<double> y(n);
            filtfilt(c.section, x, y, padSamples(0.01, dt, n), plain);
            for (std::size_t i = 0; i < 2 * half; ++i) {
                ASSERT_NEAR(y[at - half + i], static_cast<double>(exact[i]), 1e-12)
                    << c.name << (plain ? " plain" : " segmented") << " at " << i;
            }
        }
    }
}

// The gain of the phaseless run for a long sine, by projection on the
// middle half of the record.
double sineGain(const Biquad& s, double f, double dt) {
    const std::size_t n = 400000;
    std::vector<double> x(n), y(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = std::sin(2 * pi * f * static_cast<double>(i) * dt);
    filtfilt(s, x, y, padSamples(0.01, dt, n));
    double xy = 0, xx = 0;
    for (std::size_t i = n / 4; i < 3 * n / 4; ++i) xy += x[i] * y[i], xx += x[i] * x[i];
    return xy / xx;
}

TEST(Filter, EachClassAndCornerIsThreeDecibelsDownWhereItsDesignSays) {
    const double dt = 1e-5;
    // A class's -3 dB point: one pass 1.5 dB down, tan(pi f T) = (sqrt2 - 1)^(1/4)
    // tan(pi 2.0775 C T); a plain corner is its own -3 dB point.
    const auto classCorner = [dt](double c) {
        return std::atan(std::pow(std::sqrt(2.0) - 1, 0.25) * std::tan(pi * 2.0775 * c * dt)) /
               (pi * dt);
    };
    struct Case {
        LowPassChoice choice;
        double cornerHz;
    };
    for (const Case& c :
         {Case{{"CFC60", 60, 0}, classCorner(60)}, Case{{"CFC180", 180, 0}, classCorner(180)},
          Case{{"CFC600", 600, 0}, classCorner(600)}, Case{{"CFC1000", 1000, 0}, classCorner(1000)},
          Case{{"700", 0, 700}, 700.0}}) {
        const Biquad s = lowPassFor(c.choice, dt);
        EXPECT_NEAR(sineGain(s, c.cornerHz, dt), std::sqrt(0.5), 1e-6) << c.choice.name;
        EXPECT_GT(sineGain(s, 0.8 * c.cornerHz, dt), 0.85) << c.choice.name;
        EXPECT_LT(sineGain(s, 1.25 * c.cornerHz, dt), 0.5) << c.choice.name;
    }
    const Biquad high = highPassSection(highPassDesignHz(20, dt), dt);
    EXPECT_NEAR(sineGain(high, 20, dt), std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(sineGain(high, 400, dt), 1.0, 1e-5);
}

// The same run in long double: the reference both paths are held to.
std::vector<long double> referenceRun(const Biquad& s, const std::vector<double>& in,
                                      std::size_t pad) {
    const std::size_t n = in.size();
    std::vector<long double> e;
    for (std::size_t k = pad; k > 0; --k) e.push_back(2.0L * in[0] - in[k]);
    e.insert(e.end(), in.begin(), in.end());
    for (std::size_t k = 0; k < pad; ++k) e.push_back(2.0L * in[n - 1] - in[n - 2 - k]);
    const long double gain = (0.0L + s.a0 + s.a1 + s.a2) / (1.0L - s.b1 - s.b2);
    for (int direction = 0; direction < 2; ++direction) {
        long double x1 = e[0], x2 = e[0], y1 = gain * e[0], y2 = y1;
        for (long double& v : e) {
            const long double y = s.a0 * v + s.a1 * x1 + s.a2 * x2 + s.b1 * y1 + s.b2 * y2;
            x2 = x1, x1 = v, y2 = y1, y1 = y, v = y;
        }
        std::reverse(e.begin(), e.end());
    }
    return {e.begin() + static_cast<std::ptrdiff_t>(pad),
            e.begin() + static_cast<std::ptrdiff_t>(pad + n)};
}

// Segments side by side, corrected, against the one recursion: never more
// than a few times its rounding, which grows as the poles near 1 (a 0.5 Hz
// high pass at 10 kHz loses about eight digits either way).
TEST(Filter, SegmentedRunIsAsAccurateAsThePlainRecursionOnRandomRecords) {
    std::mt19937_64 random(7);
    std::normal_distribution<double> noise;
    for (std::size_t n : {10u, 20000u, 65537u, 300001u}) {
        std::vector<double> x(n);
        for (double& v : x) v = 3 + noise(random);
        const std::size_t pad = padSamples(0.01, 1e-4, n);
        for (const Biquad& s : {lowPassSection(2.0775 * 180, 1e-4), highPassSection(0.5, 1e-4),
                                highPassSection(5, 1e-4)}) {
            std::vector<double> plain(n), fast(n);
            filtfilt(s, x, plain, pad, true);
            filtfilt(s, x, fast, pad, false);
            const std::vector<long double> exact = referenceRun(s, x, pad);
            double plainError = 0, fastError = 0;
            for (std::size_t i = 0; i < n; ++i) {
                plainError =
                    std::max(plainError, static_cast<double>(std::fabs(plain[i] - exact[i])));
                fastError = std::max(fastError, static_cast<double>(std::fabs(fast[i] - exact[i])));
            }
            EXPECT_LE(fastError, 10 * plainError + 1e-13) << n << " b2 " << s.b2;
            EXPECT_LT(fastError, 1e-6) << n << " b2 " << s.b2;
        }
    }
}

TEST(RecordFigures, RmsOfHugeAndTinySamplesIsFiniteAndRight) {
    for (double scale : {1e200, 1e-200, 1.0}) {
        const std::vector<double> x{3 * scale, -4 * scale, 0.0, 0.0};
        const RecordFigures f = computeRecordFigures({{}, x, 0.0, 1e-3});
        EXPECT_NEAR(f.rms / scale, 2.5, 1e-15) << scale;
    }
}

}  // namespace
}  // namespace korvex
