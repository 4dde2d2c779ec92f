#include "plot/charts/trace_chart.h"

#include <QAreaSeries>
#include <QChart>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "analysis/series_reduction.h"
#include "plot/charts/axis_ticks.h"
#include "plot/charts/nearest.h"
#include "plot/plot_text.h"

namespace korvex {

TraceChart::TraceChart(const QString& yTitle, QObject* parent) : QObject(parent) {
    m_chart = new QChart;
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    tightChart(m_chart);
    m_x = new QValueAxis;
    m_x->setTitleText(QStringLiteral("time (s)"));
    m_y = new QValueAxis;
    m_y->setTitleText(yTitle);
    for (QValueAxis* a : {m_x, m_y}) {
        a->setLabelFormat(QStringLiteral("%g"));
        a->setTickType(QValueAxis::TicksDynamic);
        a->setTickAnchor(0.0);
        a->setRange(0.0, 1.0);
        a->setTickInterval(0.2);  // a few ticks from the start: see setRangeAndStep
    }
    m_chart->addAxis(m_x, Qt::AlignBottom);
    m_chart->addAxis(m_y, Qt::AlignLeft);
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_view = new ChartView(m_chart);
    m_view->setWheelZoomsY(false);  // the whole height is in view already
    m_readout = wireChartView(
        m_view, this, [this](ChartRange r) { setView(r); }, [this] { showAll(); },
        [this](QPointF v) { read(v); });
    // A new width needs a new reduction, one point pair per pixel column.
    connect(m_chart, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        const int columns = static_cast<int>(area.width() * m_view->devicePixelRatioF());
        if (!m_traces.empty() && columns > 0 && columns != m_columns) {
            QMetaObject::invokeMethod(
                this, [this] { redraw(); }, Qt::QueuedConnection);
        }
    });
}

void TraceChart::setTimeUnit(double scale, const QString& unit) {
    m_scale = scale;
    m_unit = unit;
    m_x->setTitleText(QStringLiteral("time (%1)").arg(unit));
}

void TraceChart::setYTitle(const QString& title) {
    m_y->setTitleText(title);
}

int TraceChart::addTrace(const QString& name, QColor color, qreal width, Qt::PenStyle style) {
    QLineSeries* s = line(name, color, width);
    QPen pen = s->pen();
    pen.setStyle(style);
    s->setPen(pen);
    m_chart->addSeries(s);
    s->attachAxis(m_x);
    s->attachAxis(m_y);
    m_traces.push_back({s, {}, {}});
    return static_cast<int>(m_traces.size()) - 1;
}

void TraceChart::setTrace(int index, std::span<const double> t, std::span<const double> y) {
    Trace& trace = m_traces[static_cast<std::size_t>(index)];
    trace.t = t;
    trace.y = y.first(std::min(t.size(), y.size()));
    trace.line->clear();
}

void TraceChart::addBand(const QString& name) {
    m_bandLower = new QLineSeries(this);
    m_bandUpper = new QLineSeries(this);
    m_band = new QAreaSeries(m_bandUpper, m_bandLower);
    m_band->setName(name);
    m_band->setBrush(QColor(0x30, 0xa0, 0x50, 0x38));
    QPen edge(QColor(0x30, 0xa0, 0x50, 0xa0));
    edge.setWidthF(1.0);
    m_band->setPen(edge);
    m_band->setVisible(false);
    m_chart->addSeries(m_band);
    m_band->attachAxis(m_x);
    m_band->attachAxis(m_y);
}

void TraceChart::setBand(const QString& name, const std::vector<QPointF>& lower,
                         const std::vector<QPointF>& upper) {
    if (m_band == nullptr) return;
    if (!name.isEmpty()) m_band->setName(name);
    const auto scaled = [this](const std::vector<QPointF>& points) {
        QList<QPointF> out;
        out.reserve(static_cast<qsizetype>(points.size()));
        for (const QPointF& p : points) out.append({p.x() * m_scale, p.y()});
        return out;
    };
    m_bandLower->replace(scaled(lower));
    m_bandUpper->replace(scaled(upper));
    m_band->setVisible(!lower.empty() && !upper.empty());
}

void TraceChart::setLevels(const QString& name, const std::vector<double>& values) {
    m_levelValues = values;
    while (m_levels.size() < values.size()) {
        QLineSeries* s = line(name, QColor(0xb0, 0x00, 0x20), 1.2);
        QPen pen = s->pen();
        pen.setStyle(Qt::DashLine);
        s->setPen(pen);
        m_chart->addSeries(s);
        s->attachAxis(m_x);
        s->attachAxis(m_y);
        m_levels.push_back(s);
    }
    for (std::size_t i = 0; i < m_levels.size(); ++i) {
        m_levels[i]->setName(name);
        m_levels[i]->setVisible(i < values.size());
        // One legend entry for them all.
        for (QLegendMarker* marker : m_chart->legend()->markers(m_levels[i])) {
            marker->setVisible(i == 0 && i < values.size());
        }
    }
    redrawLevels();
}

void TraceChart::setMark(std::optional<QPointF> at, const QString& label, QColor color) {
    if (m_mark == nullptr) {
        m_mark = new QScatterSeries;
        m_mark->setMarkerShape(QScatterSeries::MarkerShapeCircle);
        m_mark->setMarkerSize(11);
        m_mark->setPointLabelsVisible(true);
        m_mark->setPointLabelsClipping(false);
        m_chart->addSeries(m_mark);
        m_mark->attachAxis(m_x);
        m_mark->attachAxis(m_y);
    }
    m_mark->clear();
    m_mark->setVisible(at.has_value());
    for (QLegendMarker* marker : m_chart->legend()->markers(m_mark)) marker->setVisible(false);
    if (!at) return;
    m_mark->setName(label);
    m_mark->setColor(Qt::transparent);
    m_mark->setBorderColor(color);
    QPen pen(color);
    pen.setWidthF(2.0);
    m_mark->setPen(pen);
    m_mark->setPointLabelsColor(color);
    m_mark->setPointLabelsFormat(label);
    m_mark->append(at->x() * m_scale, at->y());
    showMarkLabel();
}

void TraceChart::clear() {
    for (Trace& t : m_traces) {
        t.t = {};
        t.y = {};
        t.line->clear();
    }
    setBand(QString(), {}, {});
    setLevels(QString(), {});
    setMark(std::nullopt, QString(), Qt::red);
    m_view->setMarker(std::nullopt);
    m_readout->setText(hintText());
}

void TraceChart::setView(ChartRange r) {
    // Down to a few samples of the first trace across, never past the whole view.
    double least = (m_all.xhi - m_all.xlo) * 1e-9;
    if (!m_traces.empty() && m_traces.front().t.size() > 1) {
        const std::span<const double> t = m_traces.front().t;
        least = std::max(least,
                         4 * (t.back() - t.front()) / static_cast<double>(t.size() - 1) * m_scale);
    }
    std::tie(r.xlo, r.xhi) = keepInside(r.xlo, r.xhi, m_all.xlo, m_all.xhi, least);
    const double height = m_all.yhi - m_all.ylo;
    std::tie(r.ylo, r.yhi) = keepInside(r.ylo, r.yhi, m_all.ylo, m_all.yhi, height * 1e-6);
    setRangeAndStep(m_x, r.xlo, r.xhi, niceStep((r.xhi - r.xlo) / 5));
    setRangeAndStep(m_y, r.ylo, r.yhi, niceStep((r.yhi - r.ylo) / 5));
    redraw();
    showMarkLabel();
    m_view->updateMarker();
}

void TraceChart::showMarkLabel() {
    // Its label is drawn unclipped, so that it is never cut at the plot's
    // edge; with its point out of view it would stay behind outside the plot.
    if (m_mark == nullptr || m_mark->count() == 0) return;
    const QPointF p = m_mark->at(0);
    const bool inView =
        p.x() >= m_x->min() && p.x() <= m_x->max() && p.y() >= m_y->min() && p.y() <= m_y->max();
    m_mark->setPointLabelsVisible(inView);
}

void TraceChart::redraw() {
    const QRectF area = m_chart->plotArea();
    int columns = static_cast<int>(area.width() * m_view->devicePixelRatioF());
    if (columns <= 0) columns = std::max(256, m_view->width());  // not laid out yet
    m_columns = columns;
    for (Trace& trace : m_traces) {
        // Only the samples in view, one min/max pair per pixel column.
        const std::vector<ChartPoint> reduced = minMaxReduceRange(
            trace.t, trace.y, m_x->min() / m_scale, m_x->max() / m_scale, columns);
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(reduced.size()));
        for (const ChartPoint& p : reduced) {
            if (std::isfinite(p.y) && std::isfinite(p.x)) points.append({p.x * m_scale, p.y});
        }
        trace.line->replace(points);
    }
    redrawLevels();
}

void TraceChart::redrawLevels() {
    for (std::size_t i = 0; i < m_levelValues.size(); ++i) {
        const double v = m_levelValues[i];
        m_levels[i]->replace(QList<QPointF>{{m_all.xlo, v}, {m_all.xhi, v}});
    }
}

void TraceChart::read(QPointF value) {
    if (m_traces.empty() || m_traces.front().t.empty()) return;
    const Trace& trace = m_traces.front();
    const QRectF area = m_chart->plotArea();
    const ChartRange r = m_view->range();
    const double perPixelX = (r.xhi - r.xlo) / area.width();
    const double perPixelY = (r.yhi - r.ylo) / area.height();
    const std::span<const double> t = trace.t, y = trace.y;
    const std::size_t best = nearestSample(t, y, m_scale, value, perPixelX, perPixelY);
    if (best >= t.size()) return;
    QString text =
        tr("t = %1 %2    %3 = %4")
            .arg(number(t[best] * m_scale, 8), m_unit, trace.line->name(), number(y[best], 6));
    if (m_describe) text += m_describe(best);
    m_readout->setText(text);
    m_view->setMarker(QPointF(t[best] * m_scale, y[best]));
}

}  // namespace korvex
