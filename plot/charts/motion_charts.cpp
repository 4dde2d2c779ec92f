#include "plot/charts/motion_charts.h"

#include <QBoxLayout>
#include <QChart>
#include <QLabel>
#include <QLegend>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

#include "plot/charts/trace_chart.h"

namespace korvex {

MotionCharts::MotionCharts(QWidget* parent) : QWidget(parent) {
    m_velocity = new TraceChart(tr("velocity"), this);
    m_velocity->addTrace(tr("velocity"), QColor(0x1f, 0x4e, 0x9a), 1.5);
    m_displacement = new TraceChart(tr("displacement"), this);
    m_displacement->addTrace(tr("displacement"), QColor(0x7a, 0x3a, 0x9a), 1.5);
    m_layout = new QBoxLayout(QBoxLayout::TopToBottom, this);
    m_layout->setContentsMargins(0, 0, 0, 2);
    m_layout->setSpacing(0);
    for (TraceChart* c : {m_velocity, m_displacement}) {
        c->chart()->legend()->hide();
        auto* column = new QVBoxLayout;
        column->setSpacing(0);
        column->addWidget(c->view(), 1);
        column->addWidget(c->readout());
        m_layout->addLayout(column, 1);
    }
}

void MotionCharts::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const bool wide = width() > height();
    m_layout->setDirection(wide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
}

void MotionCharts::draw(std::span<const double> t, std::span<const double> accel, double intervalS,
                        std::optional<AccelerationUnit> unit, const ShakerLimits& limits,
                        const TimeUnitText& time) {
    const std::size_t n = std::min(t.size(), accel.size());
    if (n < 2) return clear();
    m_v.resize(n);
    m_x.resize(n);
    integrateMotion(accel.first(n), intervalS, m_v, m_x);
    const MotionScale scale = motionScale(unit);
    for (double& v : m_v) v *= scale.velocity;
    for (double& x : m_x) x *= scale.displacement;
    m_velocity->setYTitle(unit ? tr("velocity (m/s)") : tr("velocity"));
    m_displacement->setYTitle(unit ? tr("displ. (mm)") : tr("displacement"));

    // Velocity within \u00b1 its limit; the stroke, peak to peak, drawn about
    // the middle of the motion, where a table centred on it would have it.
    const double xlo = std::min(0.0, *std::min_element(m_x.begin(), m_x.end()));
    const double xhi = std::max(0.0, *std::max_element(m_x.begin(), m_x.end()));
    std::vector<double> vLevels, xLevels;
    if (unit && std::isfinite(limits.maxVelocityMps)) {
        vLevels = {-limits.maxVelocityMps, limits.maxVelocityMps};
    }
    if (unit && std::isfinite(limits.maxStrokeMm)) {
        const double mid = (xlo + xhi) / 2;
        xLevels = {mid - limits.maxStrokeMm / 2, mid + limits.maxStrokeMm / 2};
    }
    const struct {
        TraceChart* chart;
        const std::vector<double>& data;
        const std::vector<double>& levels;
    } charts[] = {{m_velocity, m_v, vLevels}, {m_displacement, m_x, xLevels}};
    double first = t[0] * time.scale, last = t[n - 1] * time.scale;
    if (!(last > first)) last = first + 1.0;
    for (const auto& c : charts) {
        c.chart->setTimeUnit(time.scale, time.name);
        c.chart->setTrace(0, t.first(n), c.data);
        double lo = 0.0, hi = 0.0;
        for (double v : c.data) lo = std::min(lo, v), hi = std::max(hi, v);
        for (double v : c.levels) lo = std::min(lo, v), hi = std::max(hi, v);
        if (!(hi > lo) || !std::isfinite(hi - lo)) lo = -1.0, hi = 1.0;
        const double pad = (hi - lo) * 0.05;
        c.chart->setWholeView({first, last, lo - pad, hi + pad});
        c.chart->setLevels(tr("limit"), c.levels);
        c.chart->showAll();
    }
}

void MotionCharts::clear() {
    m_velocity->clear();
    m_displacement->clear();
    m_v.clear();
    m_x.clear();
}

void MotionCharts::setOpacity(double opacity) {
    m_velocity->chart()->setOpacity(opacity);
    m_displacement->chart()->setOpacity(opacity);
}

}  // namespace korvex
