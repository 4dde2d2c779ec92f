#include "plot/charts/nearest.h"

#include <algorithm>
#include <cmath>

#include "analysis/series_reduction.h"

namespace korvex {

std::size_t nearestSample(std::span<const double> x, std::span<const double> y, double scale,
                          QPointF pointer, double perPixelX, double perPixelY) {
    const std::size_t n = std::min(x.size(), y.size());
    x = x.first(n);
    const double reach = 6 * perPixelX;
    SampleRange near =
        visibleSamples(x, (pointer.x() - reach) / scale, (pointer.x() + reach) / scale);
    if (near.end <= near.begin || near.end - near.begin > 200'000) {
        // More than the eye can tell apart: the two either side of the pointer.
        const std::size_t i = visibleSamples(x, pointer.x() / scale, pointer.x() / scale).begin;
        near = {i, std::min(n, i + 2)};
    }
    std::size_t best = n;
    double bestDistance = INFINITY;
    for (std::size_t i = near.begin; i < near.end; ++i) {
        if (!std::isfinite(y[i])) continue;
        const double dx = (x[i] * scale - pointer.x()) / perPixelX;
        const double dy = (y[i] - pointer.y()) / perPixelY;
        const double d = dx * dx + dy * dy;
        if (d < bestDistance) bestDistance = d, best = i;
    }
    return best;
}

}  // namespace korvex
