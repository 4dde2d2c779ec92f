// Pieces the pane's charts and settings rows share: numbers for people,
// axis ticks that stay few, views kept inside their data, remembered settings.
#pragma once

#include <QColor>
#include <QPointF>
#include <QSettings>
#include <QString>

#include <span>
#include <string>
#include <utility>
#include <vector>

class QCategoryAxis;
class QChart;
class QLabel;
class QLineEdit;
class QLineSeries;
class QValueAxis;

namespace korvex {

// Six significant digits, with a decimal point whatever the locale.
QString number(double x, int digits = 6);

// The user's remembered settings.
QSettings userSettings();

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

// Ticks for a log axis from 10^lo to 10^hi, at most `most` of them.
std::vector<double> logTicks(double lo, double hi, int most);
void setLogTicks(QCategoryAxis* axis, double lo, double hi, double pixels, double pixelsPerTick);
// A spectrum chart's two axes, frequency and peak, added to `chart`: log10
// values on linear axes, labelled by setLogTicks.
std::pair<QCategoryAxis*, QCategoryAxis*> addSpectrumAxes(QChart* chart);

QLineSeries* line(const QString& name, QColor color, qreal width);

// A selectable, wrapping line of plain text under a chart.
QLabel* statusLine();

// The sample of (t x scale, y) nearest `pointer` on the screen (`perPixelX`,
// `perPixelY`: chart units per pixel), among those within a few pixel
// columns of it; among very many, the nearest in time. t is increasing;
// returns t.size() when there is none.
std::size_t nearestSample(std::span<const double> t, std::span<const double> y, double scale,
                          QPointF pointer, double perPixelX, double perPixelY);

// What the mouse does on a chart.
QString hintText();

// An edit's text without the blanks around it.
std::string plain(const QLineEdit* edit);

}  // namespace korvex
