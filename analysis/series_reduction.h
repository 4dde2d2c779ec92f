// Fewer points for drawing a long series, without losing a peak.
#pragma once

#include <span>
#include <vector>

namespace korvex {

struct ChartPoint {
    double x, y;
    bool operator==(const ChartPoint&) const = default;
};

// Splits the series into `columns` runs of consecutive samples (one per
// pixel column) and keeps each run's smallest and largest sample, in their
// order, at their own x. A series of no more than 2 x columns is kept whole.
std::vector<ChartPoint> minMaxReduce(std::span<const double> x, std::span<const double> y,
                                     int columns);

// The samples [begin, end) that a view of x in [lo, hi] needs: those inside,
// and one more on each side so that a line drawn through them reaches the
// view's edges. `x` must not decrease (a time column).
struct SampleRange {
    std::size_t begin = 0, end = 0;
    bool operator==(const SampleRange&) const = default;
};
SampleRange visibleSamples(std::span<const double> x, double lo, double hi);

// minMaxReduce of the visible samples only: a zoomed view at full detail.
std::vector<ChartPoint> minMaxReduceRange(std::span<const double> x, std::span<const double> y,
                                          double lo, double hi, int columns);

}  // namespace korvex
