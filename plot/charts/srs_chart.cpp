#include "plot/charts/srs_chart.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "plot/charts/axis_ticks.h"
#include "plot/charts/nearest.h"
#include "plot/plot_text.h"

namespace korvex {
namespace {

double log10OrNan(double v) {
    return v > 0.0 && std::isfinite(v) ? std::log10(v) : NAN;
}

QList<QPointF> points(const std::vector<double>& x, const std::vector<double>& y) {
    QList<QPointF> out;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::isfinite(y[i])) out.append({x[i], y[i]});
    }
    return out;
}

}  // namespace

SpectrumChart::SpectrumChart(QObject* parent) : QObject(parent) {
    m_chart = new QChart;
    // Room on the right for half of a five-digit decade label ("10000") set
    // on the plot's edge, which the chart would otherwise cut.
    m_chart->setMargins(QMargins(4, 4, 20, 4));
    tightChart(m_chart);
    std::tie(m_x, m_y) = addSpectrumAxes(m_chart);
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_mark = new QScatterSeries;
    m_mark->setMarkerSize(11);
    m_mark->setColor(Qt::transparent);
    m_view = new ChartView(m_chart);
    m_readout = wireChartView(
        m_view, this, [this](ChartRange r) { setView(r); }, [this] { showAll(); },
        [this](QPointF v) { read(v); });
    // How many labels fit depends on the plot's size, known once laid out.
    connect(m_chart, &QChart::plotAreaChanged, this, [this] {
        if (!m_empty) {
            QMetaObject::invokeMethod(
                this, [this] { relayout(); }, Qt::QueuedConnection);
        }
    });
}

void SpectrumChart::addBand(const QString& name) {
    m_bandLower = new QLineSeries(this);
    m_bandUpper = new QLineSeries(this);
    m_band = new QAreaSeries(m_bandUpper, m_bandLower);
    m_band->setName(name);
    m_band->setBrush(QColor(0x30, 0xa0, 0x50, 0x38));
    m_band->setPen(QPen(QColor(0x30, 0xa0, 0x50, 0xa0), 1.0));
    m_chart->addSeries(m_band);
    m_band->attachAxis(m_x);
    m_band->attachAxis(m_y);
}

int SpectrumChart::addCurve(const QString& name, QColor color, qreal width, Qt::PenStyle style) {
    QLineSeries* s = line(name, color, width, style);
    m_chart->addSeries(s);
    s->attachAxis(m_x);
    s->attachAxis(m_y);
    m_curves.push_back({s, {}, {}});
    // A click on a legend entry hides its curve or shows it again.
    for (QLegendMarker* marker : m_chart->legend()->markers(s)) {
        connect(marker, &QLegendMarker::clicked, this, [marker] {
            QAbstractSeries* series = marker->series();
            series->setVisible(!series->isVisible());
            marker->setVisible(true);
            QBrush label = marker->labelBrush();
            QColor c = label.color();
            c.setAlphaF(series->isVisible() ? 1.0 : 0.4);
            label.setColor(c);
            marker->setLabelBrush(label);
        });
    }
    // The mark stays over every curve.
    if (m_chart->series().contains(m_mark)) m_chart->removeSeries(m_mark);
    m_chart->addSeries(m_mark);
    m_mark->attachAxis(m_x);
    m_mark->attachAxis(m_y);
    for (QLegendMarker* marker : m_chart->legend()->markers(m_mark)) marker->setVisible(false);
    return static_cast<int>(m_curves.size()) - 1;
}

void SpectrumChart::setCurve(int index, const std::vector<double>& hz,
                             const std::vector<double>& values) {
    Curve& c = m_curves[static_cast<std::size_t>(index)];
    const std::size_t n = std::min(hz.size(), values.size());
    c.x.resize(n);
    c.y.resize(n);
    for (std::size_t i = 0; i < n; ++i) c.x[i] = std::log10(hz[i]), c.y[i] = log10OrNan(values[i]);
    c.line->replace(points(c.x, c.y));
}

void SpectrumChart::setBand(const std::vector<double>& hz, const std::vector<double>& lower,
                            const std::vector<double>& upper) {
    if (m_band == nullptr) return;
    std::vector<double> x(hz.size()), lo(hz.size()), hi(hz.size());
    m_bandLo = INFINITY, m_bandHi = 0.0;
    for (std::size_t i = 0; i < hz.size(); ++i) {
        x[i] = std::log10(hz[i]);
        lo[i] = log10OrNan(lower[i]);
        hi[i] = log10OrNan(upper[i]);
        if (std::isfinite(lo[i]) && std::isfinite(hi[i])) {
            m_bandLo = std::min(m_bandLo, lower[i]);
            m_bandHi = std::max(m_bandHi, upper[i]);
        }
    }
    m_bandLower->replace(points(x, lo));
    m_bandUpper->replace(points(x, hi));
    const bool shown = !hz.empty();
    m_band->setVisible(shown);
    for (QLegendMarker* marker : m_chart->legend()->markers(m_band)) marker->setVisible(shown);
}

void SpectrumChart::setMark(std::optional<QPointF> at, QColor color) {
    m_mark->clear();
    if (!at || !(at->x() > 0) || !(at->y() > 0)) return;
    QPen pen(color);
    pen.setWidthF(2.0);
    m_mark->setPen(pen);
    m_mark->setBorderColor(color);
    m_mark->append(std::log10(at->x()), std::log10(at->y()));
}

void SpectrumChart::clear() {
    for (Curve& c : m_curves) {
        c.x.clear();
        c.y.clear();
        c.line->clear();
    }
    if (m_band != nullptr) setBand({}, {}, {});
    m_mark->clear();
    m_empty = true;
    m_view->setMarker(std::nullopt);
    m_readout->setText(hintText());
}

bool SpectrumChart::fitAll(double fromHz, double toHz) {
    double lo = m_bandHi > 0 ? m_bandLo : INFINITY, hi = m_bandHi;
    for (const Curve& c : m_curves) {
        for (double y : c.y) {
            if (std::isfinite(y))
                lo = std::min(lo, std::pow(10.0, y)), hi = std::max(hi, std::pow(10.0, y));
        }
    }
    m_empty = !(hi > 0.0);
    if (m_empty) return false;
    // The frequency axis ends where the computed range does; the values'
    // axis a little beyond the 1, 2 or 5 just outside the data, so that
    // a decade there is labelled rather than lost at the plot's edge.
    constexpr double kPad = 0.02;  // decades
    m_all = {std::log10(fromHz), std::log10(toHz), std::log10(nice125(lo, false)) - kPad,
             std::log10(nice125(hi, true)) + kPad};
    if (!(m_all.xhi > m_all.xlo)) m_all.xlo -= 0.05, m_all.xhi += 0.05;
    if (!(m_all.yhi > m_all.ylo)) m_all.ylo -= 0.3, m_all.yhi += 0.3;
    showAll();
    return true;
}

void SpectrumChart::setView(ChartRange r) {
    if (m_empty) return;
    std::tie(r.xlo, r.xhi) = keepInside(r.xlo, r.xhi, m_all.xlo, m_all.xhi, 0.02);
    std::tie(r.ylo, r.yhi) = keepInside(r.ylo, r.yhi, m_all.ylo, m_all.yhi, 0.02);
    const QRectF area = m_chart->plotArea();
    setLogTicks(m_x, r.xlo, r.xhi, area.width() > 0 ? area.width() : 400, 44);
    setLogTicks(m_y, r.ylo, r.yhi, area.height() > 0 ? area.height() : 250, 22);
    m_view->updateMarker();
}

void SpectrumChart::relayout() {
    if (!m_empty) setView(m_view->range());
}

void SpectrumChart::setReadout(int index, std::function<QString(std::size_t)> describe) {
    m_readCurve = index;
    m_describe = std::move(describe);
}

void SpectrumChart::read(QPointF value) {
    if (m_empty || m_curves.empty() || !m_describe) return;
    const Curve& c = m_curves[static_cast<std::size_t>(m_readCurve)];
    const QRectF area = m_chart->plotArea();
    const ChartRange r = m_view->range();
    const std::size_t i = nearestSample(c.x, c.y, 1.0, value, (r.xhi - r.xlo) / area.width(),
                                        (r.yhi - r.ylo) / area.height());
    if (i >= c.x.size()) return;
    m_readout->setText(m_describe(i));
    m_view->setMarker(QPointF(c.x[i], c.y[i]));
}

}  // namespace korvex
