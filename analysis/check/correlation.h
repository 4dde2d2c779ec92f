// The cross-correlation of a record with a short kernel, c[k] = sum_j
// kernel[j] m[k + j] for every k with the kernel inside the record, by FFT
// in overlapping blocks, with each block's norm for bounding its rounding.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "analysis/tolerance_check.h"

namespace korvex::check {

struct Correlation {
    std::vector<double> value;      // c[k], k in [0, n - L]
    std::vector<double> blockNorm;  // ||m|| over the samples block b read
    std::size_t blockSize = 0;      // B, the FFT length
    std::size_t blockOutputs = 1;   // value k came from block k / blockOutputs

    // A bound on |computed c[k] - exact c[k]| for a kernel of norm
    // `kernelNorm`: the transforms are each within 8 u log2 B of their
    // results' norm (a radix-2 FFT's error grows as u log2 B with a constant
    // under 6 for accurate twiddle factors; FFTW's are), which through the
    // product, the inverse and the division by B gives sqrt(B) (3 x 8 u
    // log2 B + 4 u) ||m_b|| ||kernel||; a little more for the norms' own
    // rounding. (B has no prime factor above 7; FFTW's codelets for 3, 5
    // and 7 keep within the same constant.)
    double errorBound(std::size_t k, double kernelNorm) const;
};

// Needs 1 <= kernel.size() <= m.size(). `threads` 0: every core.
Correlation correlate(std::span<const double> m, std::span<const double> kernel, unsigned threads,
                      CheckProgress* progress);

}  // namespace korvex::check
