// The shock response spectrum chart every pane uses: curves on log-log axes
// (log10 values on linear axes, so that labels are ours), an optional dB
// band, one marked point, zoom kept inside the data and a hover readout.
#pragma once

#include <QColor>
#include <QObject>
#include <QPointF>

#include <functional>
#include <optional>
#include <vector>

#include "plot/charts/chart_view.h"

class QAreaSeries;
class QCategoryAxis;
class QChart;
class QLabel;
class QLineSeries;
class QScatterSeries;

namespace korvex {

class SpectrumChart : public QObject {
    Q_OBJECT

  public:
    explicit SpectrumChart(QObject* parent = nullptr);

    ChartView* view() const { return m_view; }
    QChart* chart() const { return m_chart; }
    QLabel* readout() const { return m_readout; }

    // A shaded band under every curve added after it.
    void addBand(const QString& name);
    int addCurve(const QString& name, QColor color, qreal width,
                 Qt::PenStyle style = Qt::SolidLine);
    // Values at frequencies (Hz, rising); those not above zero are left out.
    void setCurve(int index, const std::vector<double>& hz, const std::vector<double>& values);
    // The band's lower and upper values at `hz`; empty hides it and its legend.
    void setBand(const std::vector<double>& hz, const std::vector<double>& lower,
                 const std::vector<double>& upper);
    // One point (Hz, value) ringed, or none.
    void setMark(std::optional<QPointF> at, QColor color);
    void clear();

    // Frequencies from `fromHz` to `toHz` and values at the 1, 2 or 5 just
    // outside every curve and the band; false when none is above zero.
    bool fitAll(double fromHz, double toHz);
    bool isEmpty() const { return m_empty; }
    ChartRange wholeView() const { return m_all; }
    // In log10 units, kept inside the whole view.
    void setView(ChartRange r);
    void showAll() { setView(m_all); }
    // Lays the ticks out again for the chart's size now.
    void relayout();

    // The readout reads the curve `index`: the nearest of its points, and
    // what `describe` says of it (by its index in the frequencies given).
    void setReadout(int index, std::function<QString(std::size_t)> describe);

  private:
    struct Curve {
        QLineSeries* line;
        std::vector<double> x, y;  // log10, NaN where left out
    };
    void read(QPointF value);

    QChart* m_chart = nullptr;
    ChartView* m_view = nullptr;
    QLabel* m_readout = nullptr;
    QCategoryAxis* m_x = nullptr;
    QCategoryAxis* m_y = nullptr;
    std::vector<Curve> m_curves;
    QAreaSeries* m_band = nullptr;
    QLineSeries* m_bandLower = nullptr;
    QLineSeries* m_bandUpper = nullptr;
    double m_bandLo = INFINITY, m_bandHi = 0.0;
    QScatterSeries* m_mark = nullptr;
    ChartRange m_all;
    bool m_empty = true;
    int m_readCurve = 0;
    std::function<QString(std::size_t)> m_describe;
};

}  // namespace korvex
