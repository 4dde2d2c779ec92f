// A chart that can be zoomed, panned and read with the mouse. It only asks:
// the owner of the data decides what each request shows and redraws.
#pragma once

#include <QChartView>

#include <functional>
#include <optional>

class QGraphicsEllipseItem;
class QLabel;
class QRubberBand;
class QValueAxis;

namespace korvex {

// A view of the chart in axis values (for log axes, in log10 units).
struct ChartRange {
    double xlo = 0, xhi = 1, ylo = 0, yhi = 1;
};

class ChartView : public QChartView {
    Q_OBJECT

  public:
    explicit ChartView(QChart* chart, QWidget* parent = nullptr);

    // The wheel zooms the horizontal axis only (a record whose height is
    // already in view), or both.
    void setWheelZoomsY(bool both) { m_wheelZoomsY = both; }

    ChartRange range() const;
    // Chart coordinates of axis values, and back, through the plot area.
    QPointF toPosition(QPointF value) const;
    QPointF toValue(QPointF position) const;

    // A ring around the point read out, in axis values; nothing hides it.
    void setMarker(std::optional<QPointF> value);
    // Puts the ring back over its point after the axes or the size changed.
    void updateMarker();

    // Zooms by `factor` (< 1 in) about the view point `at`, as the wheel does.
    void zoomAbout(QPoint at, double factor);
    // Pans by a view-pixel offset, as a drag does.
    void panBy(QPoint delta);

  signals:
    void viewRequested(korvex::ChartRange range);
    void fullViewRequested();
    // The pointer over the plot area, in axis values and view pixels.
    void hovered(QPointF value, QPoint pixel);
    void hoverEnded();

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    enum class Drag { None, Zoom, Pan };
    QValueAxis* axis(Qt::Orientation orientation) const;
    bool inPlot(QPoint viewPos) const;

    bool m_wheelZoomsY = true;
    Drag m_drag = Drag::None;
    QPoint m_pressPos, m_lastPos;
    QRubberBand* m_band = nullptr;
    QGraphicsEllipseItem* m_ring = nullptr;
    std::optional<QPointF> m_marker;
};

// The readout under a chart, a status line with the mouse's hint, and the
// view's requests wired to its owner: zoom and pan to `setView`, the whole
// view to `showAll`, the pointer to `read`; leaving the plot puts the hint back.
QLabel* wireChartView(ChartView* view, QObject* owner, std::function<void(ChartRange)> setView,
                      std::function<void()> showAll, std::function<void(QPointF)> read);

}  // namespace korvex
