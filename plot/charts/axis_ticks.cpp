#include "plot/charts/axis_ticks.h"

#include <QCategoryAxis>
#include <QChart>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "plot/plot_text.h"

namespace korvex {

// 1, 2 or 5 times a power of ten, the nearest at or above `x`.
double niceStep(double x) {
    const double decade = std::pow(10.0, std::floor(std::log10(x)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * decade >= x * 0.999) return m * decade;
    }
    return 10 * decade;
}

// 1, 2 or 5 times a power of ten at or below (or above) `x` > 0.
double nice125(double x, bool up) {
    const double decade = std::pow(10.0, std::floor(std::log10(x)));
    if (up) {
        for (double m : {1.0, 2.0, 5.0, 10.0}) {
            if (m * decade >= x * (1 - 1e-9)) return m * decade;
        }
    }
    for (double m : {5.0, 2.0, 1.0}) {
        if (m * decade <= x * (1 + 1e-9)) return m * decade;
    }
    return decade;
}

// A dynamic axis lays out its ticks as soon as its range or its step
// changes. Passing through the coarser of the old and new steps keeps every
// state in between to a few ticks: the new range at the old step of a short
// record would be tens of thousands.
void setRangeAndStep(QValueAxis* axis, double lo, double hi, double step) {
    axis->setTickInterval(std::max(axis->tickInterval(), step));
    axis->setRange(lo, hi);
    axis->setTickInterval(step);
    // Labels with as many decimals as the step has, and no more.
    const double biggest = std::max(std::fabs(lo), std::fabs(hi));
    if (step >= 1e-4 && biggest < 1e7) {
        const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
        axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
    } else {
        const int digits =
            std::clamp(static_cast<int>(std::ceil(std::log10(biggest / step) + 1e-9)) + 1, 1, 15);
        axis->setLabelFormat(QStringLiteral("%.%1g").arg(digits));
    }
}

// Keeps [lo, hi] inside [allLo, allHi] and at least `least` wide,
// moving rather than shrinking it.
std::pair<double, double> keepInside(double lo, double hi, double allLo, double allHi,
                                     double least) {
    const double all = allHi - allLo;
    double span = hi - lo;
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(span > 0)) return {allLo, allHi};
    const double centre = lo + span / 2;
    span = std::clamp(span, std::min(least, all), all);
    lo = std::clamp(centre - span / 2, allLo, allHi - span);
    return {lo, lo + span};
}

// Ticks for a log axis from 10^lo to 10^hi, at most `most` of them: every
// mantissa 1 to 9, else 1-2-5, else every decade; within less than one step
// of those, round linear steps.
std::vector<double> logTicks(double lo, double hi, int most) {
    most = std::max(most, 2);
    const auto within = [&](double v) {
        const double l = std::log10(v);
        return l >= lo - 1e-9 && l <= hi + 1e-9;
    };
    const std::vector<std::vector<double>> sets = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 5}, {1}};
    const int first = static_cast<int>(std::floor(lo)), last = static_cast<int>(std::ceil(hi));
    for (std::size_t s = 0; s < sets.size(); ++s) {
        std::vector<double> ticks;
        for (int e = first; e <= last; ++e) {
            for (double m : sets[s]) {
                const double v = m * std::pow(10.0, e);
                if (within(v)) ticks.push_back(v);
            }
        }
        if (s == 0 && ticks.size() < 3) {
            const double a = std::pow(10.0, lo), b = std::pow(10.0, hi);
            const double step = niceStep((b - a) / (most - 1));
            ticks.clear();
            for (double v = std::ceil(a / step) * step; v <= b * (1 + 1e-12); v += step) {
                ticks.push_back(v);
            }
            return ticks;
        }
        if (static_cast<int>(ticks.size()) <= most) return ticks;
        // Decades are never left out, however many: they say where the axis is.
        if (s + 1 == sets.size()) return ticks;
    }
    return {};
}

std::pair<QCategoryAxis*, QCategoryAxis*> addSpectrumAxes(QChart* chart) {
    auto* x = new QCategoryAxis;
    x->setTitleText(QStringLiteral("natural frequency (Hz)"));
    auto* y = new QCategoryAxis;
    y->setTitleText(QStringLiteral("peak acceleration"));
    for (QCategoryAxis* a : {x, y}) {
        a->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        a->setRange(0, 1);
    }
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    return {x, y};
}

void setLogTicks(QCategoryAxis* axis, double lo, double hi, double pixels, double pixelsPerTick) {
    const int most = static_cast<int>(pixels / pixelsPerTick);
    QStringList labels;
    std::vector<double> at;
    for (double v : logTicks(lo, hi, most)) {
        labels << number(v);
        at.push_back(std::log10(v));
    }
    // Unchanged ticks are left alone: a new label width would move the plot
    // area, which asks for ticks again.
    bool same = axis->categoriesLabels() == labels && axis->min() == lo && axis->max() == hi;
    for (int i = 0; same && i < labels.size(); ++i) {
        same = axis->endValue(labels[i]) == at[static_cast<std::size_t>(i)];
    }
    if (same) return;
    for (const QString& label : axis->categoriesLabels()) axis->remove(label);
    // Each category ends at its tick; the first starts just below the axis.
    axis->setStartValue(lo - (hi - lo));
    for (int i = 0; i < labels.size(); ++i)
        axis->append(labels[i], at[static_cast<std::size_t>(i)]);
    axis->setRange(lo, hi);
}

void tightChart(QChart* chart) {
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
}

QLineSeries* line(const QString& name, QColor color, qreal width, Qt::PenStyle style) {
    auto* series = new QLineSeries;
    series->setName(name);
    QPen pen(color);
    pen.setWidthF(width);
    pen.setStyle(style);
    series->setPen(pen);
    return series;
}

}  // namespace korvex
