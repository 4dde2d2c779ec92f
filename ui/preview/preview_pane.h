// The pulse pane: the pulse just calculated, its time history, its shock
// response spectrum and its motion, with its figures and notes on what was
// typed. It shows what it is given; it never reads the form.
#pragma once

#include <QFutureWatcher>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/motion.h"
#include "analysis/srs.h"
#include "plot/charts/chart_view.h"
#include "plot/plot_text.h"
#include "pulse/compensation.h"
#include "pulse/input_notes.h"
#include "pulse/pulse_series.h"

class QLabel;
class QLineEdit;
class QTabWidget;

namespace korvex {

class MotionCharts;
class SpectrumChart;
class SpectrumSettingsRow;
class TraceChart;

class PreviewPane : public QWidget {
    Q_OBJECT

  public:
    explicit PreviewPane(QWidget* parent = nullptr);
    // A spectrum still being computed is abandoned, so closing never waits.
    ~PreviewPane() override;

    // Draws `series` (which must stay as it is until the next call) and its
    // figures at once; the spectrum follows from a worker thread. `typed`
    // are the form's texts, for the notes on how they were read;
    // `compensation` the ratio the series was compensated with.
    void showPulse(const PulseParameters& params, const PulseSeries& series,
                   const PulseTexts* typed = nullptr,
                   std::optional<double> compensation = std::nullopt);
    void clearPulse();
    // An input of the form changed: the charts are dimmed and say so until
    // the next pulse is shown.
    void markStale();
    // The amplitude's unit and the shaker's limits, for the motion.
    void setMotionUnits(std::optional<AccelerationUnit> unit, const ShakerLimits& limits);

    bool hasPulse() const { return m_series != nullptr; }
    bool isStale() const;
    // The compensation ratio of the pulse shown.
    std::optional<double> shownCompensation() const;
    QString figuresText() const;
    QString notesText() const;
    QString readoutText(const ChartView* view) const;
    ChartView* timeHistoryView() const;
    ChartView* spectrumView() const;
    TraceChart* timeChart() const { return m_time; }
    SpectrumChart* spectrumChart() const { return m_srs; }
    TraceChart* velocityChart() const;
    TraceChart* displacementChart() const;
    SpectrumSettingsRow* spectrumSettingsRow() const { return m_srsRow; }
    // The Pre-time typed, for the next Calculate: none when empty, NaN when
    // it does not read as a number (the command refuses it with the reason).
    std::optional<double> preTime() const;

    // Zoom as the mouse asks (axis values; log10 units on the spectrum),
    // kept inside the whole view; and back to the whole view.
    void setView(ChartView* view, ChartRange range);
    void showAll(ChartView* view);

    // Exports, as the context menu runs them once a name is chosen; a file
    // that cannot be written throws FileError. The plot is an SVG drawing
    // for a name ending in .svg, else a PNG image `width` pixels wide.
    void savePlot(ChartView* view, const QString& path, int width);
    void saveSpectrum(const QString& path);
    // What Copy puts on the clipboard: the visible part of the view's data
    // as tab-separated columns under a header line.
    QString visibleDataText(const ChartView* view) const;

    // Reads the spectrum settings now (typing waits a moment first), checks
    // them as korvex-cli does, and recomputes the spectrum when they pass.
    void applySpectrumSettings();
    QString spectrumSettingsMessage() const;

    // The motion's figures and the shaker limits it exceeds, under the pulse's.
    QString motionText() const;
    QString limitsText() const;

  signals:
    // The spectrum of the latest pulse is drawn (or known to be unavailable).
    void spectrumReady();

  private:
    struct Job {
        std::shared_ptr<std::atomic<bool>> cancel;
        QFutureWatcher<std::vector<SrsPoint>>* watcher;
    };

    QWidget* makePulsePage();
    void setDimmed(bool dimmed);
    void drawMotion();
    void drawMotionCharts();
    void startSpectrum();
    void showSpectrum(const std::vector<SrsPoint>& points);
    void spectrumUnavailable(const QString& why);
    void abandonSpectrum();
    void contextMenu(ChartView* view, QPoint pos);
    void askSavePlot(ChartView* view);
    void askSaveSpectrum();
    QString pulseTitle() const;

    SpectrumSettingsRow* m_srsRow = nullptr;
    QLineEdit* m_preTime = nullptr;
    QLabel* m_stale = nullptr;
    QTabWidget* m_tabs = nullptr;
    QLabel* m_figures = nullptr;
    QString m_pulseFigures;  // the figures without the motion's line
    QLabel* m_limits = nullptr;
    QLabel* m_notes = nullptr;

    TraceChart* m_time = nullptr;
    const PulseSeries* m_series = nullptr;
    PulseParameters m_params;
    std::optional<CompensationPlan> m_compensation;
    TimeUnitText m_unit;

    SpectrumChart* m_srs = nullptr;
    SrsPlan m_plan;
    std::vector<SrsPoint> m_points;         // of the spectrum drawn, for readout and exports
    std::vector<Job> m_jobs;                // the last is the current one
    std::optional<SrsSettings> m_settings;  // none while the texts do not pass

    MotionCharts* m_motion = nullptr;
    QWidget* m_motionPage = nullptr;
    bool m_motionDrawn = false;
    std::optional<AccelerationUnit> m_motionUnit;
    ShakerLimits m_shakerLimits;
    QString m_motionText;
};

}  // namespace korvex
