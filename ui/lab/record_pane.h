// A measured record in the pane: read and checked against the nominal pulse
// off the user-interface thread, drawn over that pulse with its tolerance
// band, its spectrum over the nominal's, its motion from rest, and the
// verdict korvex-cli check gives for the same file and settings.
#pragma once

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/motion.h"
#include "analysis/record_reader.h"
#include "analysis/srs.h"
#include "ui/lab/check_outcome.h"
#include "ui/lab/record_trust.h"

class QLabel;
class QPushButton;
class QTabBar;
class QTimer;
class QVBoxLayout;

namespace korvex {

class ChartView;
class MotionCharts;
class SpectrumChart;
class TraceChart;
class TrustStrip;

class RecordPane : public QWidget {
    Q_OBJECT

  public:
    explicit RecordPane(QWidget* parent = nullptr);
    // Work still running is abandoned, so closing never waits on it.
    ~RecordPane() override;

    // Reads `path` and checks it; what is shown stays until both are done,
    // and stays for good when the file cannot be read (openFailed).
    void open(const std::string& path, const ReadOptions& options, const CheckRequest& request);
    // Checks the record shown again, against new values; a record being
    // opened is opened again with them.
    void recheck(const CheckRequest& request);
    // Checks shock `event` of a record that holds several.
    void chooseEvent(std::size_t event);
    // Abandons the work running; what is shown stays.
    void cancel();
    // Forgets the record.
    void close();
    // The amplitude's unit and the shaker's limits, for the Motion tab.
    void setMotionUnits(std::optional<AccelerationUnit> unit, const ShakerLimits& limits);

    bool hasRecord() const { return m_raw != nullptr; }
    bool isBusy() const { return m_job.watcher != nullptr || !m_spectra.empty(); }
    QString source() const;
    QString verdictText() const;
    QString figuresText() const;
    const CheckOutcome& outcome() const { return m_outcome; }
    // The conditioning, warnings, achieved pulse and events of the record shown.
    const RecordTrust& trust() const { return m_trust; }
    TrustStrip* trustStrip() const { return m_strip; }
    // The check's JSON, as korvex-cli check --report writes it; "" unchecked.
    std::string reportJson() const;
    // Throws FileError when the file cannot be written.
    void saveReport(const QString& path);
    TraceChart* timeChart() const { return m_time; }
    SpectrumChart* spectrumChart() const { return m_srs; }
    ChartView* spectrumView() const;
    MotionCharts* motionCharts() const { return m_motion; }
    QString spectrumTitle() const;
    // 0 the record and its band, 1 the spectra, 2 the motion.
    void showTab(int index);
    // Where the pane's spectrum settings row goes while the record is shown.
    QVBoxLayout* spectrumSettingsHost() const { return m_srsHost; }

  signals:
    // Work in progress: what, and how far in percent (-1: not measured).
    void progress(const QString& what, int percent);
    // No work running any more (done, failed or cancelled).
    void idle();
    void openFailed(const QString& reason, const RecordError& error);
    // A record and its verdict (or why there is none) are shown; `opened`
    // for a record just read, not one checked again.
    void checked(bool opened);
    void spectraReady();
    void closeRequested();
    void saveReportRequested();
    // "Use as Nominal": the achieved pulse's better fit, duration in seconds.
    void useAsNominal(PulseType shape, double amplitude, double durationS);

  protected:
    // A short pane folds the figures away (they stay in the verdict's
    // tooltip) so that the charts keep their height.
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct Result {
        std::shared_ptr<const LoadedRecord> record;  // as read
        std::optional<RecordError> error;
        RecordTrust trust;
        CheckOutcome check;
    };
    struct Job {
        std::shared_ptr<std::atomic<bool>> cancel;
        std::shared_ptr<std::atomic<int>> stage;
        QFutureWatcher<Result>* watcher = nullptr;
        std::string path;  // of a record being opened, else ""
        ReadOptions options;
    };
    struct SpectraJob {
        std::shared_ptr<std::atomic<bool>> cancel;
        std::shared_ptr<SrsProgress[]> progress;
        QFutureWatcher<std::vector<SrsPoint>>* watcher = nullptr;
    };

    QWidget* makeSpectrumPage();
    void start(const std::string& path, const ReadOptions& options, const CheckRequest& request);
    void finish(const Result& result, const CheckRequest& request, bool opened);
    void showRecord(bool fresh, bool rescaled);
    void showCheck();
    void drawMotion();
    void startSpectra();
    void showSpectra(const std::vector<SrsPoint>& both);
    void stopSpectra();
    void abandonSpectra();
    void tick();

    std::shared_ptr<const LoadedRecord> m_raw;   // as read
    std::shared_ptr<const LoadedRecord> m_data;  // as judged: conditioned, an event's slice
    RecordTrust m_trust;
    std::size_t m_event = 0;  // the shock checked, of a record holding several
    CheckOutcome m_outcome;
    CheckRequest m_request;
    Job m_job;
    std::vector<SpectraJob> m_spectra;  // the last is the current one
    std::uint64_t m_generation = 0;
    QTimer* m_ticker = nullptr;
    QElapsedTimer m_since;  // since the work began
    std::optional<AccelerationUnit> m_unit;
    ShakerLimits m_limits;
    bool m_motionDrawn = false;

    QLabel* m_title = nullptr;
    QPushButton* m_saveReport = nullptr;
    QTabBar* m_tabs = nullptr;
    QWidget* m_motionPage = nullptr;
    TraceChart* m_time = nullptr;
    MotionCharts* m_motion = nullptr;
    QLabel* m_verdict = nullptr;
    QLabel* m_figures = nullptr;
    TrustStrip* m_strip = nullptr;
    SpectrumChart* m_srs = nullptr;
    QVBoxLayout* m_srsHost = nullptr;
    std::vector<SrsPoint> m_srsPoints;  // the record's, then the nominal's, frequency by frequency
};

}  // namespace korvex
