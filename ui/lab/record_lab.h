// The lab's controller: opens records (asking for columns when the file does
// not decide them), checks them against the nominal pulse the form pushed,
// checks again when that or a setting changes, and saves the report.
#pragma once

#include <QObject>
#include <QString>

#include "analysis/record_reader.h"
#include "ui/lab/check_outcome.h"
#include "ui/widgets/nominal_pulse.h"

class QTimer;
class QWidget;

namespace korvex {

class CheckPanel;
class RecordPane;
class SpectrumSettingsRow;

class RecordLab : public QObject {
    Q_OBJECT

  public:
    // Dialogs open over `window`.
    RecordLab(RecordPane* pane, CheckPanel* check, SpectrumSettingsRow* spectrum, QWidget* window);

    // The form's nominal pulse: a record shown is checked again soon.
    void setNominal(const NominalPulse& nominal);
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
    void askSaveReport();
    // What a record is checked with now.
    CheckRequest checkRequest() const;

    // Test plans: the form's nominal and the Check panel's settings, as
    // korvex-cli check --plan reads them.
    void askSaveTestPlan();
    void askOpenTestPlan();
    void saveTestPlan(const QString& path) const;  // throws FileError
    // Fills the Check panel and the spectrum settings and emits planOpened
    // for the form; "" or why the file was refused.
    QString openTestPlan(const QString& path);

  signals:
    void planOpened(const TestPlan& plan);

  private:
    RecordPane* m_pane;
    CheckPanel* m_check;
    SpectrumSettingsRow* m_spectrum;
    QWidget* m_window;
    NominalPulse m_nominal;
    QTimer* m_recheckTimer = nullptr;
};

}  // namespace korvex
