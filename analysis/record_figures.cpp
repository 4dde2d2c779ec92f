#include "analysis/record_figures.h"

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

}  // namespace

RecordFigures computeRecordFigures(const RecordView& r) {
    RecordFigures f;
    const std::size_t n = r.size();
    f.samples = n;
    f.intervalS = r.intervalS;
    f.startS = r.timeAt(0);
    f.recordS = static_cast<double>(n) * r.intervalS;
    if (n == 0) return f;
    std::size_t peak = 0;
    Sum sum, squares, inner;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = r.values[i];
        if (!std::isnan(r.values[peak]) &&
            (std::isnan(v) || std::fabs(v) > std::fabs(r.values[peak]))) {
            peak = i;
        }
        sum.add(v);
        squares.add(v * v);
        if (i > 0 && i + 1 < n) inner.add(v);
    }
    f.peakAmplitude = r.values[peak];
    f.peakTimeS = r.timeAt(peak);
    // The trapezoid rule: the inner samples whole, the two ends half.
    const double ends = n > 1 ? (r.values[0] + r.values[n - 1]) / 2 : 0.0;
    f.velocityChange = (inner.value() + ends) * r.intervalS;
    f.mean = sum.value() / static_cast<double>(n);
    f.rms = std::sqrt(squares.value() / static_cast<double>(n));
    return f;
}

}  // namespace korvex
