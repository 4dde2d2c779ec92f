#include "analysis/series_reduction.h"

#include <algorithm>

namespace korvex {

std::vector<ChartPoint> minMaxReduce(std::span<const double> x, std::span<const double> y,
                                     int columns) {
    const std::size_t n = std::min(x.size(), y.size());
    std::vector<ChartPoint> out;
    const std::size_t cols = columns > 0 ? static_cast<std::size_t>(columns) : 1;
    if (n <= 2 * cols) {
        out.reserve(n);
        for (std::size_t i = 0; i < n; ++i) out.push_back({x[i], y[i]});
        return out;
    }
    out.reserve(2 * cols);
    for (std::size_t c = 0; c < cols; ++c) {
        const std::size_t begin = n * c / cols, end = n * (c + 1) / cols;
        std::size_t lo = begin, hi = begin;
        for (std::size_t i = begin + 1; i < end; ++i) {
            // A NaN is kept as the smallest, so it shows as a gap.
            if (y[i] < y[lo] || (y[i] != y[i] && y[lo] == y[lo])) lo = i;
            if (y[i] > y[hi]) hi = i;
        }
        const std::size_t first = std::min(lo, hi), second = std::max(lo, hi);
        out.push_back({x[first], y[first]});
        if (second != first) out.push_back({x[second], y[second]});
    }
    return out;
}

SampleRange visibleSamples(std::span<const double> x, double lo, double hi) {
    if (!(lo <= hi)) return {};
    std::size_t begin =
        static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), lo) - x.begin());
    std::size_t end =
        static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), hi) - x.begin());
    if (begin > 0) --begin;
    if (end < x.size()) ++end;
    return {begin, end};
}

std::vector<ChartPoint> minMaxReduceRange(std::span<const double> x, std::span<const double> y,
                                          double lo, double hi, int columns) {
    const std::size_t n = std::min(x.size(), y.size());
    const SampleRange r = visibleSamples(x.first(n), lo, hi);
    return minMaxReduce(x.subspan(r.begin, r.end - r.begin), y.subspan(r.begin, r.end - r.begin),
                        columns);
}

}  // namespace korvex
