#include "analysis/record_figures.h"

#include <algorithm>
#include <cmath>

namespace korvex {
namespace {

// Neumaier's compensated sum: the rounding error of each addition is kept
// and added back at the end.
class Sum {
  public:
    void add(double x) {
        const double t = sum_ + x;
        compensation_ += std::fabs(sum_) >= std::fabs(x) ? (sum_ - t) + x : (x - t) + sum_;
        sum_ = t;
    }
    double value() const { return sum_ + compensation_; }

  private:
    double sum_ = 0.0, compensation_ = 0.0;
};

// Samples per block: summed plainly in four lanes the compiler can keep in
// vector registers, and the blocks' sums then compensated, which bounds
// the rounding error by about a block's worth of additions however long
// the record.
constexpr std::size_t kBlock = 1024;

// Beyond these the plain sum of squares has overflowed or lost digits to
// underflow; only then is the slower scaled sum taken, so the RMS of every
// ordinary record keeps its bytes.
constexpr double kSquaresLow = 1e-250, kSquaresHigh = 1e250;

// The RMS with every sample divided by the largest magnitude before it is
// squared: finite and nonzero for any finite samples not all zero.
double scaledRms(const double* x, std::size_t n, double largest) {
    if (std::isinf(largest)) return largest;
    Sum squares;
    for (std::size_t first = 0; first < n; first += kBlock) {
        const std::size_t end = std::min(n, first + kBlock);
        double q = 0.0;
        for (std::size_t i = first; i < end; ++i) {
            const double v = x[i] / largest;
            q += v * v;
        }
        squares.add(q);
    }
    return largest * std::sqrt(squares.value() / static_cast<double>(n));
}

}  // namespace

RecordFigures computeRecordFigures(const RecordView& r) {
    RecordFigures f;
    const std::size_t n = r.size();
    f.samples = n;
    f.intervalS = r.intervalS;
    f.startS = r.timeAt(0);
    f.recordS = static_cast<double>(n) * r.intervalS;
    if (n == 0) return f;
    const double* x = r.values.data();
    Sum sum, squares;
    double largest = 0.0;  // of the magnitudes; NaN once a NaN is seen
    bool nan = false;
    for (std::size_t first = 0; first < n; first += kBlock) {
        const std::size_t end = std::min(n, first + kBlock);
        double s[4] = {}, q[4] = {}, m[4] = {};
        std::size_t i = first;
        for (; i + 4 <= end; i += 4) {
            for (int k = 0; k < 4; ++k) {
                const double v = x[i + k];
                s[k] += v;
                q[k] += v * v;
                m[k] = std::max(m[k], std::fabs(v));
            }
        }
        for (; i < end; ++i) {
            s[0] += x[i];
            q[0] += x[i] * x[i];
            m[0] = std::max(m[0], std::fabs(x[i]));
        }
        sum.add((s[0] + s[1]) + (s[2] + s[3]));
        squares.add((q[0] + q[1]) + (q[2] + q[3]));
        largest = std::max({largest, m[0], m[1], m[2], m[3]});
        // Squares are never negative: only a NaN sample makes their sum NaN.
        nan = nan || std::isnan(q[0] + q[1] + q[2] + q[3]);
    }
    // The first sample of largest magnitude, or the first NaN.
    std::size_t peak = 0;
    while (peak < n && !(nan ? std::isnan(x[peak]) : std::fabs(x[peak]) == largest)) ++peak;
    f.peakAmplitude = x[peak];
    f.peakTimeS = r.timeAt(peak);
    // The trapezoid rule: every sample whole, less half of each end.
    const double total = sum.value();
    f.velocityChange = n > 1 ? (total - (x[0] + x[n - 1]) / 2) * r.intervalS : 0.0;
    f.mean = total / static_cast<double>(n);
    f.rms = std::sqrt(squares.value() / static_cast<double>(n));
    if (!nan && largest > 0 && !(squares.value() > kSquaresLow && squares.value() < kSquaresHigh)) {
        f.rms = scaledRms(x, n, largest);
    }
    return f;
}

}  // namespace korvex
