// Quick passes over samples for the trust checks, in vectors of two (GCC
// and Clang vector extensions): the extremes, the sum and whether any
// sample was not finite; the first sample at a level or beyond a magnitude.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace korvex {

struct SampleScan {
    double low = 0.0, high = 0.0;  // of the samples; 0 and 0 for none
    double largest = 0.0;          // magnitude
    double sum = 0.0;
    bool finite = true;  // no NaN and no infinity (else the rest means nothing)
};

SampleScan scanSamples(std::span<const double> x);

// The first index from `from` whose magnitude is at least `level`, or x.size().
std::size_t findMagnitude(std::span<const double> x, std::size_t from, double level);

// One pass for two checks: every index whose sample equals a or b (a NaN
// level is never met), and, from `from`, the sum of the samples before the
// first whose magnitude reaches `level` (its index in tailEnd; x.size()
// when none reaches it, `from` when it is past the end).
struct LevelsAndTail {
    std::vector<std::size_t> atLevel;
    double tailSum = 0.0;
    std::size_t tailEnd = 0;
};
LevelsAndTail scanLevelsAndTail(std::span<const double> x, double a, double b, std::size_t from,
                                double level);

}  // namespace korvex
