// The pane beside the form: the pulse just calculated, drawn, its shock
// response spectrum and its figures.
#pragma once

#include <QFutureWatcher>
#include <QWidget>

#include <atomic>
#include <memory>
#include <vector>

#include "analysis/srs.h"
#include "pulse/pulse_series.h"

class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QLogValueAxis;
class QStackedWidget;
class QTabWidget;
class QValueAxis;

namespace korvex {

class PreviewPane : public QWidget {
    Q_OBJECT

  public:
    explicit PreviewPane(QWidget* parent = nullptr);
    // A spectrum still being computed is abandoned, so closing never waits.
    ~PreviewPane() override;

    // Draws `series` (which must stay as it is until the next call) and its
    // figures at once; the spectrum follows from a worker thread.
    void showPulse(const PulseParameters& params, const PulseSeries& series);
    // Back to the one-line hint.
    void clearPulse();

    bool isShowingPulse() const;
    QString figuresText() const;
    QChartView* timeHistoryView() const { return m_timeView; }
    QChartView* spectrumView() const { return m_srsView; }

  signals:
    // The spectrum of the latest pulse is drawn (or known to be unavailable).
    void spectrumReady();

  private:
    struct Job {
        std::shared_ptr<std::atomic<bool>> cancel;
        QFutureWatcher<std::vector<SrsPoint>>* watcher;
    };

    QChartView* makeView(QChart* chart);
    void drawTimeHistory();
    void startSpectrum(const PulseParameters& params);
    void showSpectrum(const std::vector<SrsPoint>& points);
    void spectrumUnavailable(const QString& why);
    void abandonSpectrum();
    void contextMenu(QChartView* view, QPoint pos);
    void savePlot(QChartView* view);

    QStackedWidget* m_stack = nullptr;
    QLabel* m_hint = nullptr;
    QTabWidget* m_tabs = nullptr;
    QLabel* m_figures = nullptr;

    QChart* m_timeChart = nullptr;
    QChartView* m_timeView = nullptr;
    QLineSeries* m_timeLine = nullptr;
    QValueAxis* m_timeX = nullptr;
    QValueAxis* m_timeY = nullptr;
    const PulseSeries* m_series = nullptr;
    int m_columns = 0;  // pixel columns the drawn reduction was made for

    QChart* m_srsChart = nullptr;
    QChartView* m_srsView = nullptr;
    QLineSeries* m_maximax = nullptr;
    QLineSeries* m_positive = nullptr;
    QLineSeries* m_negative = nullptr;
    QLogValueAxis* m_srsX = nullptr;
    QLogValueAxis* m_srsY = nullptr;
    SrsPlan m_plan;
    std::vector<Job> m_jobs;  // the last is the current one
};

}  // namespace korvex
