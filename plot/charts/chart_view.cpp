#include "plot/charts/chart_view.h"

#include <QGraphicsEllipseItem>
#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "plot/plot_text.h"

namespace korvex {

ChartView::ChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
    setRenderHint(QPainter::Antialiasing);
    // Axis labels replaced by a zoom leave nothing behind.
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setMouseTracking(true);
    setRubberBand(QChartView::NoRubberBand);
    m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
    m_ring = new QGraphicsEllipseItem(-4, -4, 8, 8, chart);
    m_ring->setPen(QPen(QColor(0xc0, 0x20, 0x20), 1.5));
    m_ring->setZValue(100);
    m_ring->hide();
    connect(chart, &QChart::plotAreaChanged, this, [this] { updateMarker(); });
}

QValueAxis* ChartView::axis(Qt::Orientation orientation) const {
    const QList<QAbstractAxis*> axes = chart()->axes(orientation);
    return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis*>(axes.front());
}

ChartRange ChartView::range() const {
    const QValueAxis* x = axis(Qt::Horizontal);
    const QValueAxis* y = axis(Qt::Vertical);
    if (x == nullptr || y == nullptr) return {};
    return {x->min(), x->max(), y->min(), y->max()};
}

QPointF ChartView::toPosition(QPointF value) const {
    const QRectF area = chart()->plotArea();
    const ChartRange r = range();
    return {area.left() + (value.x() - r.xlo) / (r.xhi - r.xlo) * area.width(),
            area.bottom() - (value.y() - r.ylo) / (r.yhi - r.ylo) * area.height()};
}

QPointF ChartView::toValue(QPointF position) const {
    const QRectF area = chart()->plotArea();
    const ChartRange r = range();
    return {r.xlo + (position.x() - area.left()) / area.width() * (r.xhi - r.xlo),
            r.ylo + (area.bottom() - position.y()) / area.height() * (r.yhi - r.ylo)};
}

bool ChartView::inPlot(QPoint viewPos) const {
    // A little slack, so that a drag can start right at the plot's edge.
    return chart()
        ->plotArea()
        .adjusted(-4, -4, 4, 4)
        .contains(chart()->mapFromScene(mapToScene(viewPos)));
}

void ChartView::setMarker(std::optional<QPointF> value) {
    m_marker = value;
    updateMarker();
}

void ChartView::updateMarker() {
    if (!m_marker) {
        m_ring->hide();
        return;
    }
    const QPointF at = toPosition(*m_marker);
    m_ring->setPos(at);
    m_ring->setVisible(chart()->plotArea().adjusted(-1, -1, 1, 1).contains(at));
}

void ChartView::zoomAbout(QPoint at, double factor) {
    const ChartRange r = range();
    const QPointF v = toValue(chart()->mapFromScene(mapToScene(at)));
    ChartRange z = r;
    z.xlo = v.x() - (v.x() - r.xlo) * factor;
    z.xhi = v.x() + (r.xhi - v.x()) * factor;
    if (m_wheelZoomsY) {
        z.ylo = v.y() - (v.y() - r.ylo) * factor;
        z.yhi = v.y() + (r.yhi - v.y()) * factor;
    }
    emit viewRequested(z);
}

void ChartView::panBy(QPoint delta) {
    const QRectF area = chart()->plotArea();
    if (area.width() <= 0 || area.height() <= 0) return;
    ChartRange r = range();
    const double dx = delta.x() / area.width() * (r.xhi - r.xlo);
    const double dy = delta.y() / area.height() * (r.yhi - r.ylo);
    r.xlo -= dx, r.xhi -= dx;
    r.ylo += dy, r.yhi += dy;
    emit viewRequested(r);
}

void ChartView::wheelEvent(QWheelEvent* event) {
    const QPoint at = event->position().toPoint();
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0 || !inPlot(at)) return QChartView::wheelEvent(event);
    // One notch zooms in to 80 % of the view, or back out.
    zoomAbout(at, std::pow(0.8, steps));
    event->accept();
}

void ChartView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    // Outside the plot area the chart keeps its own clicks (the legend's).
    if (!inPlot(at)) return QChartView::mousePressEvent(event);
    const bool pan = event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && event->modifiers() & Qt::ShiftModifier);
    if (pan) {
        m_drag = Drag::Pan;
        setCursor(Qt::ClosedHandCursor);
    } else if (event->button() == Qt::LeftButton) {
        m_drag = Drag::Zoom;
        m_band->setGeometry(QRect(at, QSize()));
        m_band->show();
    } else {
        return QChartView::mousePressEvent(event);
    }
    m_pressPos = m_lastPos = at;
    event->accept();
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_drag == Drag::Pan) {
        panBy(at - m_lastPos);
    } else if (m_drag == Drag::Zoom) {
        const QRect plot = mapFromScene(chart()->mapToScene(chart()->plotArea())).boundingRect();
        m_band->setGeometry(QRect(m_pressPos, at).normalized().intersected(plot));
    } else if (inPlot(at)) {
        emit hovered(toValue(chart()->mapFromScene(mapToScene(at))), at);
    } else {
        emit hoverEnded();
    }
    m_lastPos = at;
    QChartView::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
    const Drag drag = m_drag;
    const QPoint at = event->position().toPoint();
    if (drag == Drag::Pan && at != m_lastPos) panBy(at - m_lastPos);
    m_drag = Drag::None;
    unsetCursor();
    if (drag == Drag::Zoom) {
        m_band->hide();
        const QRect plot = mapFromScene(chart()->mapToScene(chart()->plotArea())).boundingRect();
        const QRect band = QRect(m_pressPos, at).normalized().intersected(plot);
        // A click, or a stroke too thin to mean an area, zooms nothing.
        if (band.width() >= 4 && band.height() >= 4) {
            const auto value = [this](QPoint p) {
                return toValue(chart()->mapFromScene(mapToScene(p)));
            };
            const QPointF a = value(band.topLeft()), b = value(band.bottomRight() + QPoint(1, 1));
            emit viewRequested({std::min(a.x(), b.x()), std::max(a.x(), b.x()),
                                std::min(a.y(), b.y()), std::max(a.y(), b.y())});
        }
    }
    if (drag != Drag::None) {
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && inPlot(event->position().toPoint())) {
        m_band->hide();
        m_drag = Drag::None;
        emit fullViewRequested();
        event->accept();
        return;
    }
    QChartView::mouseDoubleClickEvent(event);
}

void ChartView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) {
        emit fullViewRequested();
        event->accept();
        return;
    }
    QChartView::keyPressEvent(event);
}

void ChartView::leaveEvent(QEvent* event) {
    emit hoverEnded();
    QChartView::leaveEvent(event);
}

void ChartView::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    updateMarker();
}

QLabel* wireChartView(ChartView* view, QObject* owner, std::function<void(ChartRange)> setView,
                      std::function<void()> showAll, std::function<void(QPointF)> read) {
    QLabel* readout = statusLine();
    readout->setText(hintText());
    QObject::connect(view, &ChartView::viewRequested, owner, std::move(setView));
    QObject::connect(view, &ChartView::fullViewRequested, owner, std::move(showAll));
    QObject::connect(view, &ChartView::hovered, owner, std::move(read));
    QObject::connect(view, &ChartView::hoverEnded, owner, [view, readout] {
        view->setMarker(std::nullopt);
        readout->setText(hintText());
    });
    return readout;
}

}  // namespace korvex
