// The one axis helper of the window's charts: round steps, views kept
// inside their data, few ticks on linear axes and decade-labelled log axes,
// and the line style every curve is drawn with.
#pragma once

#include <QColor>
#include <QString>

#include <utility>
#include <vector>

class QCategoryAxis;
class QChart;
class QLineSeries;
class QValueAxis;

namespace korvex {

// 1, 2 or 5 times a power of ten, the nearest at or above `x`.
double niceStep(double x);

// 1, 2 or 5 times a power of ten at or below (or above) `x` > 0.
double nice125(double x, bool up);

// Sets a dynamic axis's range and tick step, passing through the coarser of
// the old and new steps, with labels of as many decimals as the step has.
void setRangeAndStep(QValueAxis* axis, double lo, double hi, double step);

// Keeps [lo, hi] inside [allLo, allHi] and at least `least` wide,
// moving rather than shrinking it.
std::pair<double, double> keepInside(double lo, double hi, double allLo, double allHi,
                                     double least);

// Ticks for a log axis from 10^lo to 10^hi, at most `most` of them unless
// the decades alone are more: every decade in range is always a tick.
std::vector<double> logTicks(double lo, double hi, int most);
void setLogTicks(QCategoryAxis* axis, double lo, double hi, double pixels, double pixelsPerTick);
// A spectrum chart's two axes, frequency and peak, added to `chart`: log10
// values on linear axes, labelled by setLogTicks.
std::pair<QCategoryAxis*, QCategoryAxis*> addSpectrumAxes(QChart* chart);

// No frame around the chart's own box: its height goes to the plot.
void tightChart(QChart* chart);

QLineSeries* line(const QString& name, QColor color, qreal width,
                  Qt::PenStyle style = Qt::SolidLine);

}  // namespace korvex
