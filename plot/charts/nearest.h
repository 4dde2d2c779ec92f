// The one nearest-point search of the charts' readouts: the sample nearest
// the pointer on the screen, for time histories and spectra alike.
#pragma once

#include <QPointF>

#include <cstddef>
#include <span>

namespace korvex {

// The sample of (x x scale, y) nearest `pointer` on the screen (`perPixelX`,
// `perPixelY`: chart units per pixel), among those within a few pixel
// columns of it (and the one either side); among very many, the nearest in x. x is increasing;
// samples whose y is not finite are never chosen; returns x.size() when there is none.
std::size_t nearestSample(std::span<const double> x, std::span<const double> y, double scale,
                          QPointF pointer, double perPixelX, double perPixelY);

}  // namespace korvex
