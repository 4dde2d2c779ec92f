// The Spectrum Test: a shaker drive synthesised for a required shock
// response spectrum, as korvex-cli synthesize makes it, shown against the
// target and its band with its time history and motion; the drive saved in
// korvex-cli's bytes, and a measured record checked against the same target.
#pragma once

#include <QWidget>

#include <memory>
#include <vector>

#include "analysis/synthesis/drive_file.h"
#include "analysis/synthesis/synthesis.h"

class QLabel;
class QPushButton;

namespace korvex {

class MotionCharts;
class SpectrumChart;
class SynthesisForm;
class TraceChart;

class SpectrumTest : public QWidget {
    Q_OBJECT

  public:
    explicit SpectrumTest(QWidget* parent = nullptr);
    ~SpectrumTest() override;

    SynthesisForm* form() const { return m_form; }
    // Starts the drive in the background from the form's settings; false
    // (and the form says why) when they do not pass.
    bool synthesize();
    // Drops the running work: its result is never shown.
    void cancel();
    bool isBusy() const { return m_busy; }
    bool hasDrive() const { return m_result != nullptr; }
    // Writes the drive through the safe replace; "" or why not.
    QString saveDrive(const QString& path, DriveFormat format);
    // Reads the record in the background and checks its first channel.
    bool checkRecord(const QString& path);
    QString statusText() const;
    QString verdictText() const;

  signals:
    // A drive or a record's check is shown, or failed with its reason.
    void finished();

  private:
    struct Job;
    void startJob(std::function<void(Job&)> work);
    void showDrive();
    void showRecord();
    void showBand(const TargetCheck& check, const DbTolerance& band);
    void showRecordLegend(bool on);
    void showTarget();
    void setBusy(bool busy, const QString& what = QString());
    void askSaveDrive();
    void askCheckRecord();

    SynthesisForm* m_form = nullptr;
    SpectrumChart* m_srs = nullptr;
    TraceChart* m_drive = nullptr;
    MotionCharts* m_motion = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_verdict = nullptr;
    QLabel* m_warning = nullptr;
    QPushButton* m_run = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_check = nullptr;
    bool m_busy = false;
    unsigned m_generation = 0;
    std::unique_ptr<SynthesisResult> m_result;
    SynthesisSettings m_settings;  // of m_result
    std::vector<double> m_time;    // the drive's sample times, for its charts
    std::unique_ptr<Job> m_done;   // the last job's outcome
};

}  // namespace korvex
