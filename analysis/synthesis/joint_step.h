// The synthesis's joint step: where neighbouring wavelets share a frequency's
// spectrum, their amplitudes are moved together by a damped least-squares
// step on a measured Jacobian instead of each by its own ratio.
#pragma once

#include <cstddef>
#include <vector>

#include "analysis/srs.h"
#include "analysis/synthesis/srs_target.h"
#include "analysis/synthesis/wavelet.h"

namespace korvex {

// Solves (J^T J + lambda diag(J^T J)) x = J^T r for a dense n x n J (row
// e: equation e, column c: unknown c); zeros when the system is singular.
std::vector<double> dampedLeastSquares(const std::vector<double>& J, const std::vector<double>& r,
                                       std::size_t n, double lambda);

// What the joint step reads: the drive's plan and wavelets' samples and
// first amplitudes, by frequency index.
struct JointInputs {
    const SrsPlan& plan;
    const std::vector<std::vector<double>>& unit;
    const std::vector<double>& firstAmplitudes;
    DbTolerance tolerance;
    double aimDb = 0.0;  // where in the band to aim
    unsigned threads = 1;
};

// The frequencies within a tenth of the band's edge or outside it, with
// their neighbours, at most kMaxJointFrequencies of them: the spectrum there
// is measured with each of their wavelets nudged in turn, and the damped
// step towards the aim moves their amplitudes in `wavelets`. False (and
// nothing moved) when no frequency or too many need it.
inline constexpr std::size_t kMaxJointFrequencies = 16;
bool jointStep(const JointInputs& in, const std::vector<double>& drive, const TargetCheck& check,
               std::vector<Wavelet>& wavelets);

}  // namespace korvex
