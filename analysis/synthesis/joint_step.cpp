#include "analysis/synthesis/joint_step.h"

#include <algorithm>
#include <cmath>

#include "pulse/parallel.h"

namespace korvex {
namespace {

constexpr double kNear = 0.9;     // share of the band's half-width that counts as near its edge
constexpr double kNudge = 0.03;   // a nudge, as a share of the amplitude
constexpr double kDamping = 0.1;  // lambda of the damped step

}  // namespace

std::vector<double> dampedLeastSquares(const std::vector<double>& J, const std::vector<double>& r,
                                       std::size_t n, double lambda) {
    std::vector<double> M(n * n, 0.0), b(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t e = 0; e < n; ++e) M[i * n + j] += J[e * n + i] * J[e * n + j];
        }
        for (std::size_t e = 0; e < n; ++e) b[i] += J[e * n + i] * r[e];
    }
    for (std::size_t i = 0; i < n; ++i) M[i * n + i] *= 1.0 + lambda;
    // Gaussian elimination without pivoting: the damped normal matrix is
    // symmetric positive definite unless a column of J is zero.
    for (std::size_t c = 0; c < n; ++c) {
        if (!(M[c * n + c] > 0.0)) return std::vector<double>(n, 0.0);
        for (std::size_t row = c + 1; row < n; ++row) {
            const double f = M[row * n + c] / M[c * n + c];
            for (std::size_t j = c; j < n; ++j) M[row * n + j] -= f * M[c * n + j];
            b[row] -= f * b[c];
        }
    }
    std::vector<double> x(n);
    for (std::size_t c = n; c-- > 0;) {
        double v = b[c];
        for (std::size_t j = c + 1; j < n; ++j) v -= M[c * n + j] * x[j];
        x[c] = v / M[c * n + c];
    }
    return x;
}

bool jointStep(const JointInputs& in, const std::vector<double>& drive, const TargetCheck& check,
               std::vector<Wavelet>& wavelets) {
    const std::size_t count = check.points.size();
    std::vector<bool> chosen(count, false);
    for (std::size_t k = 0; k < count; ++k) {
        const double e = check.points[k].errorDb;
        if (e < -kNear * in.tolerance.lowDb || e > kNear * in.tolerance.highDb) {
            for (std::size_t j = k > 0 ? k - 1 : 0; j <= std::min(count - 1, k + 1); ++j) {
                chosen[j] = true;
            }
        }
    }
    std::vector<std::size_t> set;
    for (std::size_t k = 0; k < count; ++k) {
        if (chosen[k]) set.push_back(k);
    }
    const std::size_t n = set.size();
    if (n == 0 || n > kMaxJointFrequencies) return false;

    SrsPlan plan = in.plan;
    plan.frequencies.clear();
    for (std::size_t k : set) plan.frequencies.push_back(in.plan.frequencies[k]);
    std::vector<double> J(n * n), r(n);
    for (std::size_t e = 0; e < n; ++e) {
        const TargetPointCheck& p = check.points[set[e]];
        r[e] = p.target * std::pow(10.0, in.aimDb / 20.0) - p.achieved;
    }
    // Column c: the spectrum with wavelet set[c] nudged, one drive per thread.
    const unsigned threads = threadsFor(n, in.threads);
    std::vector<std::vector<double>> nudged(threads, drive);
    parallelFor(n, threads, [&](std::size_t c, unsigned slot) {
        const std::size_t k = set[c];
        const Wavelet& w = wavelets[k];
        const double d = kNudge * std::max(std::fabs(w.amplitude), 0.1 * in.firstAmplitudes[k]);
        const std::vector<double>& u = in.unit[k];
        double* x = nudged[slot].data() + w.delay;
        const double* base = drive.data() + w.delay;
        for (std::size_t j = 0; j < u.size(); ++j) x[j] = base[j] + d * u[j];
        const std::vector<SrsPoint> points = computeShockSpectrum(nudged[slot], plan, 1);
        for (std::size_t e = 0; e < n; ++e) {
            J[e * n + c] = (points[e].maximax - check.points[set[e]].achieved) / d;
        }
        std::copy(base, base + u.size(), x);
    });
    const std::vector<double> x = dampedLeastSquares(J, r, n, kDamping);
    for (std::size_t c = 0; c < n; ++c) {
        Wavelet& w = wavelets[set[c]];
        // No step larger than the amplitude or its first value: the spectrum
        // is far from linear in it beyond that.
        const double limit = std::max(std::fabs(w.amplitude), in.firstAmplitudes[set[c]]);
        w.amplitude += std::clamp(x[c], -limit, limit);
    }
    return true;
}

}  // namespace korvex
