#include "analysis/synthesis/wavelet.h"

#include <cmath>

#include "pulse/pulse_series.h"

namespace korvex {

std::int64_t waveletSampleCount(double frequencyHz, int halfCycles, double intervalS) {
    const double duration = halfCycles / (2.0 * frequencyHz);
    auto count = static_cast<std::int64_t>(std::floor(duration / intervalS)) + 1;
    // Index times are exact; the quotient may round across an integer.
    while (count > 1 && static_cast<double>(count - 1) * intervalS > duration) --count;
    while (static_cast<double>(count) * intervalS <= duration) ++count;
    return count;
}

std::vector<double> sampleUnitWavelet(double frequencyHz, int halfCycles, double intervalS) {
    const std::int64_t count = waveletSampleCount(frequencyHz, halfCycles, intervalS);
    const double duration = halfCycles / (2.0 * frequencyHz);
    std::vector<double> w(static_cast<std::size_t>(count)), window(w.size());
    for (std::size_t j = 0; j < w.size(); ++j) {
        const double t = static_cast<double>(j) * intervalS;
        window[j] = std::sin((kPi * t) / duration);
        w[j] = window[j] * std::sin(2.0 * kPi * frequencyHz * t);
    }
    // Solve for c, e in: sum(w + c h + e h r) = 0 and sum(j (w + c h + e h r)) = 0,
    // h the window and r = j - middle, so that the two shapes are nearly
    // orthogonal and the system well conditioned.
    const double middle = 0.5 * static_cast<double>(count - 1);
    double s0 = 0, s1 = 0, h0 = 0, h1 = 0, g0 = 0, g1 = 0;
    for (std::size_t j = 0; j < w.size(); ++j) {
        const double x = static_cast<double>(j);
        const double r = x - middle;
        s0 += w[j], s1 += x * w[j];
        h0 += window[j], h1 += x * window[j];
        g0 += window[j] * r, g1 += x * window[j] * r;
    }
    const double det = h0 * g1 - g0 * h1;
    if (det != 0.0) {
        const double c = (-s0 * g1 + g0 * s1) / det;
        const double e = (-h0 * s1 + s0 * h1) / det;
        for (std::size_t j = 0; j < w.size(); ++j) {
            w[j] += window[j] * (c + e * (static_cast<double>(j) - middle));
        }
    }
    return w;
}

}  // namespace korvex
