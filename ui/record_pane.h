// A measured record in the pane: read and checked against the nominal pulse
// off the user-interface thread, drawn over that pulse with its tolerance
// band, its spectrum over the nominal's, and the verdict korvex-cli check
// gives for the same file and settings.
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

#include "analysis/record_reader.h"
#include "analysis/srs.h"
#include "analysis/tolerance_check.h"

class QAreaSeries;
class QCategoryAxis;
class QChart;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QTabBar;
class QTimer;
class QVBoxLayout;

namespace korvex {

class ChartView;
class TraceChart;
struct ChartRange;

// A record as read, with a time for every sample.
struct LoadedRecord {
    std::string source;  // as the reader names it
    Channel record;
    std::vector<double> time;  // seconds: the file's own, or start + i x interval
};

// What to check a record against, and how to show it.
struct CheckRequest {
    CheckPulse pulse;
    CheckSettings settings;  // its spectrum settings also give the drawn spectra's
    double timeScale = 1.0;  // chart time units per second
    QString timeUnit = QStringLiteral("s");
    // Why it cannot be checked as it stands (settings that do not read),
    // and whether that is about the spectrum's settings.
    QString problem;
    bool problemInSpectrum = false;
};

// The check of one record, or why there is none.
struct CheckOutcome {
    std::optional<CheckReport> report;
    QString refusal;                    // why the record was not checked
    std::optional<CheckField> field;    // the check's input at fault
    bool spectrumSettings = false;      // the refusal is about the spectrum's settings
    std::vector<QPointF> lower, upper;  // the band, (seconds, value)
    std::size_t bandFirst = 0;          // the record's sample of the band's first row
    std::vector<double> nominalT, nominalY;
};

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
    // Abandons the work running; what is shown stays.
    void cancel();
    // Forgets the record.
    void close();

    bool hasRecord() const { return m_data != nullptr; }
    bool isBusy() const { return m_job.watcher != nullptr || !m_spectra.empty(); }
    QString source() const;
    QString verdictText() const;
    QString figuresText() const;
    const CheckOutcome& outcome() const { return m_outcome; }
    // The check's JSON, as korvex-cli check --report writes it; "" unchecked.
    std::string reportJson() const;
    // Throws FileError when the file cannot be written.
    void saveReport(const QString& path);
    TraceChart* timeChart() const { return m_time; }
    ChartView* spectrumView() const { return m_srsView; }
    QString spectrumTitle() const;
    // 0 the record and its band, 1 the spectra.
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

  private:
    struct Result {
        std::shared_ptr<const LoadedRecord> record;
        std::optional<RecordError> error;
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

    void start(const std::string& path, const ReadOptions& options, const CheckRequest& request);
    void finish(const Result& result, const CheckRequest& request, bool opened);
    void showCheck();
    void startSpectra();
    void showSpectra(const std::vector<SrsPoint>& both);
    void setSpectrumRange(const ChartRange& r);
    void readSpectrum(QPointF value);
    void stopSpectra();
    void abandonSpectra();
    void tick();

    std::shared_ptr<const LoadedRecord> m_data;
    CheckOutcome m_outcome;
    CheckRequest m_request;
    Job m_job;
    std::vector<SpectraJob> m_spectra;  // the last is the current one
    std::uint64_t m_generation = 0;
    QTimer* m_ticker = nullptr;
    QElapsedTimer m_since;  // since the work began

    QLabel* m_title = nullptr;
    QPushButton* m_saveReport = nullptr;
    QTabBar* m_tabs = nullptr;
    TraceChart* m_time = nullptr;
    QLabel* m_verdict = nullptr;
    QLabel* m_figures = nullptr;

    QChart* m_srsChart = nullptr;
    ChartView* m_srsView = nullptr;
    QLabel* m_srsReadout = nullptr;
    QVBoxLayout* m_srsHost = nullptr;
    QLineSeries* m_srsRecord = nullptr;
    QLineSeries* m_srsNominal = nullptr;
    QLineSeries* m_dbLower = nullptr;
    QLineSeries* m_dbUpper = nullptr;
    QAreaSeries* m_dbBand = nullptr;
    QScatterSeries* m_srsMark = nullptr;
    QCategoryAxis* m_srsX = nullptr;
    QCategoryAxis* m_srsY = nullptr;
    std::vector<SrsPoint> m_srsPoints;  // the record's, then the nominal's, frequency by frequency
    double m_srsAll[4] = {0, 1, 0, 1};
};

}  // namespace korvex
