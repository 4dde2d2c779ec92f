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

}  // namespace korvex
