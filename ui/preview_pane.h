// The pane beside the form: the pulse just calculated, drawn, its shock
// response spectrum and its figures, with notes on what was typed.
#pragma once

#include <QFutureWatcher>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/record_reader.h"
#include "analysis/srs.h"
#include "pulse/compensation.h"
#include "pulse/input_notes.h"
#include "pulse/pulse_series.h"
#include "ui/chart_view.h"

class QCategoryAxis;
class QChart;
class QLabel;
class QLineEdit;
class QLineSeries;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QToolButton;
class QTimer;
class QStackedWidget;
class QValueAxis;

namespace korvex {

class CheckPanel;
class PulseForm;
class RecordPane;
class ShakerPanel;
class TraceChart;
struct CheckRequest;

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
    // Back to the one-line hint.
    void clearPulse();
    // An input of the form changed: the charts are dimmed and say so until
    // the next pulse is shown.
    void markStale();

    bool isShowingPulse() const;
    bool isStale() const;
    QString figuresText() const;
    QString notesText() const;
    QString readoutText(const ChartView* view) const;
    ChartView* timeHistoryView() const { return m_timeView; }
    ChartView* spectrumView() const { return m_srsView; }

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

    // The shaker panel's compensation for the next Calculate, and why the
    // last one could not be laid out.
    std::optional<double> compensationRatio() const;
    void showCompensationError(const CompensationError& error);
    ShakerPanel* shakerPanel() const { return m_shaker; }
    TraceChart* velocityChart() const { return m_velocityChart; }
    TraceChart* displacementChart() const { return m_displacementChart; }
    // The motion's figures and the shaker limits it exceeds, under the pulse's.
    QString motionText() const;
    QString limitsText() const;

    // The form whose current values are the nominal pulse of a record.
    void setForm(PulseForm* form) { m_form = form; }
    // Open Record: asks for the file, then as openRecordFile.
    void askOpenRecord();
    // Reads the file's first line; asks for the columns and time unit when
    // it does not decide them, then opens it.
    void openRecordFile(const QString& path);
    // Reads and checks the record off the user-interface thread; a file that
    // cannot be read leaves the pane as it was and says why.
    void openRecord(const QString& path, const ReadOptions& options);
    // The form or a setting changed: a record shown is checked again soon.
    void recheckSoon();
    void recheckRecord();
    bool isShowingRecord() const;
    RecordPane* recordPane() const { return m_record; }
    CheckPanel* checkPanel() const { return m_check; }
    // Why the last record was not opened, or "".
    QString openMessage() const;
    // Reading, checking or computing spectra of a record.
    bool isBusy() const;
    void cancelWork();

  signals:
    // The spectrum of the latest pulse is drawn (or known to be unavailable).
    void spectrumReady();
    // A record was opened or checked again, or could not be opened.
    void recordChecked();
    void recordFailed();
    // No record work is running any more.
    void recordIdle();

  private:
    struct Job {
        std::shared_ptr<std::atomic<bool>> cancel;
        QFutureWatcher<std::vector<SrsPoint>>* watcher;
    };

    QWidget* makeSettingsRow();
    QWidget* makeBar();
    QWidget* makeMotionPage();
    void drawMotion();
    void drawMotionCharts();
    void showView(int page);
    CheckRequest checkRequest();
    void askSaveReport();
    void drawTimeHistory();
    void startSpectrum();
    void showSpectrum(const std::vector<SrsPoint>& points);
    void spectrumUnavailable(const QString& why);
    void abandonSpectrum();
    void setTimeRange(ChartRange r);
    void setSpectrumRange(ChartRange r);
    void readTimeHistory(QPointF value);
    void readSpectrum(QPointF value);
    void endReadout(ChartView* view);
    void contextMenu(ChartView* view, QPoint pos);
    void askSavePlot(ChartView* view);
    void askSaveSpectrum();
    void writeFile(const QString& path, const QByteArray& bytes);
    QString pulseTitle() const;
    std::optional<SrsSettings> readSpectrumSettings();
    std::optional<SrsSettings> parseSpectrumTexts(QString& problem, QLineEdit*& bad) const;

    QStackedWidget* m_stack = nullptr;
    QToolButton* m_viewPulse = nullptr;
    QToolButton* m_viewRecord = nullptr;
    QToolButton* m_shakerButton = nullptr;
    QWidget* m_busy = nullptr;
    QLabel* m_busyText = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_openMessage = nullptr;
    ShakerPanel* m_shaker = nullptr;
    CheckPanel* m_check = nullptr;
    RecordPane* m_record = nullptr;
    PulseForm* m_form = nullptr;
    QTimer* m_recheckTimer = nullptr;
    QWidget* m_srsRow = nullptr;  // the spectrum settings, under whichever spectrum is shown
    QLayout* m_srsRowHome = nullptr;
    QLabel* m_hint = nullptr;
    QLabel* m_stale = nullptr;
    QTabWidget* m_tabs = nullptr;
    QLabel* m_figures = nullptr;
    QString m_pulseFigures;  // the figures without the motion's line
    QLabel* m_limits = nullptr;
    QLabel* m_notes = nullptr;

    QChart* m_timeChart = nullptr;
    ChartView* m_timeView = nullptr;
    QLabel* m_timeReadout = nullptr;
    QLineSeries* m_timeLine = nullptr;
    QValueAxis* m_timeX = nullptr;
    QValueAxis* m_timeY = nullptr;
    const PulseSeries* m_series = nullptr;
    PulseParameters m_params;
    std::optional<CompensationPlan> m_compensation;
    double m_timeScale = 1.0;  // chart time units per second: 1000 for ms
    QString m_timeUnit;
    ChartRange m_timeAll;
    int m_columns = 0;  // pixel columns the drawn reduction was made for

    QChart* m_srsChart = nullptr;
    ChartView* m_srsView = nullptr;
    QLabel* m_srsReadout = nullptr;
    QLineSeries* m_maximax = nullptr;
    QLineSeries* m_positive = nullptr;
    QLineSeries* m_negative = nullptr;
    QCategoryAxis* m_srsX = nullptr;
    QCategoryAxis* m_srsY = nullptr;
    ChartRange m_srsAll;
    SrsPlan m_plan;
    std::vector<SrsPoint> m_points;  // of the spectrum drawn, for readout and exports
    std::vector<Job> m_jobs;         // the last is the current one

    QLineEdit* m_srsQ = nullptr;
    QLineEdit* m_srsFrom = nullptr;
    QLineEdit* m_srsTo = nullptr;
    QLineEdit* m_srsPerOctave = nullptr;
    QLabel* m_srsMessage = nullptr;
    QTimer* m_settingsTimer = nullptr;
    std::optional<SrsSettings> m_settings;  // none while the texts do not pass

    TraceChart* m_velocityChart = nullptr;
    TraceChart* m_displacementChart = nullptr;
    QWidget* m_motionPage = nullptr;
    bool m_motionDrawn = false;
    std::vector<double> m_velocity, m_displacement;  // in the shaker panel's units
    QString m_motionText;
};

}  // namespace korvex
