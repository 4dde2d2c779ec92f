// A chart of time series too long to draw point by point: each trace is the
// min/max reduction of the samples in view, one pair per pixel column, made
// again after every zoom, pan or resize. Around them: a shaded band, level
// lines (limits) and one marked point.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "plot/charts/chart_view.h"

class QAreaSeries;
class QChart;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace korvex {

class TraceChart : public QObject {
    Q_OBJECT

  public:
    explicit TraceChart(const QString& yTitle, QObject* parent = nullptr);

    ChartView* view() const { return m_view; }
    QChart* chart() const { return m_chart; }
    // The hover readout under the chart, for the owner's layout.
    QLabel* readout() const { return m_readout; }

    // Seconds are shown times `scale`, named `unit`.
    void setTimeUnit(double scale, const QString& unit);
    double timeScale() const { return m_scale; }
    void setYTitle(const QString& title);

    // A trace of samples at rising times in seconds; they must stay as they
    // are until the next setTrace or clear.
    int addTrace(const QString& name, QColor color, qreal width,
                 Qt::PenStyle style = Qt::SolidLine);
    void setTrace(int index, std::span<const double> t, std::span<const double> y);
    // A shaded band under everything added after it, and its curves, each
    // (seconds, value) and drawn as given; empty curves hide it.
    void addBand(const QString& name);
    void setBand(const QString& name, const std::vector<QPointF>& lower,
                 const std::vector<QPointF>& upper);
    // Horizontal lines across the whole view, all under one name.
    void setLevels(const QString& name, const std::vector<double>& values);
    // One point (seconds, value) marked and labelled, or none.
    void setMark(std::optional<QPointF> at, const QString& label, QColor color);
    // Every trace, band, level and mark gone.
    void clear();

    // The whole view, and the one shown now, in chart units (scaled time).
    void setWholeView(ChartRange all) { m_all = all; }
    ChartRange wholeView() const { return m_all; }
    void setView(ChartRange r);
    void showAll() { setView(m_all); }

    // What the readout says of sample `i` of the first trace, after its time.
    void setDescribe(std::function<QString(std::size_t)> describe) {
        m_describe = std::move(describe);
    }

  private:
    struct Trace {
        QLineSeries* line;
        std::span<const double> t, y;
    };
    void redraw();
    void redrawLevels();
    void showMarkLabel();
    void read(QPointF value);

    QChart* m_chart = nullptr;
    ChartView* m_view = nullptr;
    QLabel* m_readout = nullptr;
    QValueAxis* m_x = nullptr;
    QValueAxis* m_y = nullptr;
    std::vector<Trace> m_traces;
    QAreaSeries* m_band = nullptr;
    QLineSeries* m_bandLower = nullptr;
    QLineSeries* m_bandUpper = nullptr;
    std::vector<QLineSeries*> m_levels;
    std::vector<double> m_levelValues;
    QScatterSeries* m_mark = nullptr;
    double m_scale = 1.0;
    QString m_unit = QStringLiteral("s");
    ChartRange m_all;
    int m_columns = 0;
    std::function<QString(std::size_t)> m_describe;
};

}  // namespace korvex
