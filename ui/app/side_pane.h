// The room right of the form: a bar (Open Record, Pulse and Record views,
// work in progress, the Check and Shaker panels), the pulse pane and the
// record pane, and the panels docked at the side so that charts keep their
// height. It is what the form pushes to.
#pragma once

#include <QWidget>

#include "ui/form/form_pane.h"

class QLabel;
class QProgressBar;
class QScrollArea;
class QStackedWidget;
class QToolButton;

namespace korvex {

class CheckPanel;
class PreviewPane;
class RecordLab;
class RecordPane;
class ShakerPanel;

class SidePane : public QWidget, public FormPane {
    Q_OBJECT

  public:
    explicit SidePane(QWidget* parent = nullptr);

    // FormPane
    void showPulse(const PulseParameters& params, const PulseSeries& series,
                   const PulseTexts& typed, std::optional<double> compensation) override;
    void clearPulse() override;
    std::optional<double> compensationRatio() override;
    void compensationFailed(const CompensationError& error) override;
    std::optional<double> preTime() override;
    void inputsChanged() override;
    void nominalChanged(const NominalPulse& nominal) override;
    void openFile(const QString& path) override { openRecordFile(path); }

    PreviewPane* previewPane() const { return m_preview; }
    RecordPane* recordPane() const { return m_record; }
    RecordLab* lab() const { return m_lab; }
    CheckPanel* checkPanel() const { return m_check; }
    ShakerPanel* shakerPanel() const { return m_shaker; }
    // The Check and Shaker panels, for the room under the form.
    QWidget* panelDock() const;

    bool isShowingPulse() const;
    bool isShowingRecord() const;
    void askOpenRecord();
    void openRecordFile(const QString& path);
    // Why the last record was not opened, or "".
    QString openMessage() const;
    // Reading, checking or computing spectra of a record.
    bool isBusy() const;
    void cancelWork();
    // The pulse's motion figures and the shaker limits it exceeds.
    QString motionText() const;
    QString limitsText() const;

  signals:
    // A record was opened or checked again, or could not be opened.
    void recordChecked();
    void recordFailed();
    // No record work is running any more.
    void recordIdle();

  private:
    QWidget* makeBar();
    void connectRecord();
    void shakerChanged();
    void showView(int page);
    void updateDock();

    QStackedWidget* m_stack = nullptr;
    QToolButton* m_viewPulse = nullptr;
    QToolButton* m_viewRecord = nullptr;
    QToolButton* m_checkButton = nullptr;
    QToolButton* m_shakerButton = nullptr;
    QWidget* m_busy = nullptr;
    QLabel* m_busyText = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_openMessage = nullptr;
    QScrollArea* m_dock = nullptr;
    ShakerPanel* m_shaker = nullptr;
    CheckPanel* m_check = nullptr;
    PreviewPane* m_preview = nullptr;
    RecordPane* m_record = nullptr;
    RecordLab* m_lab = nullptr;
    QLabel* m_hint = nullptr;
};

}  // namespace korvex
