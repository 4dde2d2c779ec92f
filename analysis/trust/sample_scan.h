// Quick passes over samples for the trust checks, in vectors of two (GCC
// and Clang vector extensions): the extremes, the sum and whether any
// sample was not finite; the first sample at a level or beyond a magnitude.
#pragma once

#include <cstddef>
#include <span>

namespace korvex {

struct SampleScan {
    double low = 0.0, high = 0.0;  // of the samples; 0 and 0 for none
    double largest = 0.0;          // magnitude
    double sum = 0.0;
    bool finite = true;  // no NaN and no infinity (else the rest means nothing)
};

SampleScan scanSamples(std::span<const double> x);

// The first index from `from` whose sample equals a or b (a NaN level is
// never met), or x.size().
std::size_t findEither(std::span<const double> x, std::size_t from, double a, double b);

// The first index from `from` whose magnitude is at least `level`, or x.size().
std::size_t findMagnitude(std::span<const double> x, std::size_t from, double level);

// The sum of the samples from `from` up to the first whose magnitude is at
// least `level` (or the end), which is left in `end`.
double sumBeforeMagnitude(std::span<const double> x, std::size_t from, double level,
                          std::size_t& end);

}  // namespace korvex
