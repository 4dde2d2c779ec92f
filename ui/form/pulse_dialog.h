// The main dialog: the form of the Calculate command, and room for the panes.
// Its names (CPulseDlg, OnOK, DoDataExchange, OnInitDialog, OnSysCommand,
// m_hIcon, the IDC_ identifiers) are the form's historical ones, kept so that
// the dialog reads as it always has and its tests find what they know.
#pragma once

#include <QDialog>
#include <QIcon>

#include <optional>

#include "ui/form/about_box.h"
#include "ui/form/calculate_command.h"
#include "ui/widgets/nominal_pulse.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

namespace korvex {

class FormPane;

class CPulseDlg : public QDialog, public PulseForm {
    Q_OBJECT

  public:
    explicit CPulseDlg(PulsePlatform& platform, QWidget* parent = nullptr);

    // PulseForm: the controls' current state.
    int timeUnitIndex() override;
    int pulseTypeIndex() override;
    std::string sampleRateText() override;
    std::string amplitudeText() override;
    std::string pulseDurationText() override;
    std::string totalDurationText() override;

    // The system-menu stand-in: minimise, close and the About entry.
    QMenu* systemMenu() const { return m_systemMenu; }
    // The panes beside the form: `widget` takes the window's room right of
    // the form and ends the Tab chain; `pane` is told what the form does;
    // `underForm`, if any, takes the room under the form.
    void setPane(QWidget* widget, FormPane* pane, QWidget* underForm = nullptr);
    QWidget* paneWidget() const { return m_paneWidget; }
    // The nominal pulse the inputs describe, read by the form's own rules.
    NominalPulse nominalPulse();
    // Puts a pulse in the inputs (the amplitude and duration to four
    // digits, the duration in the form's unit); the panes hear of it as of typing.
    void setNominalPulse(PulseType shape, double amplitude, double durationS);
    // A test plan's nominal typed into the form, as a person would: the
    // form then pushes it to the pane. A value the plan lacks is left as it is.
    void setNominal(PulseType shape, std::optional<double> amplitude,
                    std::optional<double> duration, TimeUnit unit);
    // The form's own area, at the window's top left; the pane takes the rest.
    QSize formSize() const { return m_formSize; }

  public slots:
    void OnOK();  // Calculate; the dialog stays open
    void OnTimeUnitChange();
    void OnSysCommand(int id);

  protected:
    // Enter and the Calculate button land here, as IDOK does: calculate, never close.
    void accept() override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void placePanes();
    // The system menu, or an edit's own menu with the About entry added.
    void showContextMenu(QWidget* target, QPoint globalPos);
    void DoDataExchange();
    bool OnInitDialog();

    PulsePlatform& m_platform;
    QIcon m_hIcon;
    QMenu* m_systemMenu = nullptr;
    QAction* m_aboutAction = nullptr;
    QWidget* m_paneWidget = nullptr;
    QWidget* m_underForm = nullptr;
    FormPane* m_pane = nullptr;
    QSize m_formSize;

    QLineEdit* m_totalDurationUnit = nullptr;
    QLineEdit* m_pulseDurationUnit = nullptr;
    QListWidget* m_timeUnit = nullptr;
    QLineEdit* m_totalDuration = nullptr;
    QLineEdit* m_sampleRate = nullptr;
    QLineEdit* m_pulseDuration = nullptr;
    QLineEdit* m_amplitude = nullptr;
    QListWidget* m_pulseType = nullptr;
    QLabel* m_sampleRateUnit = nullptr;
    QPushButton* m_calculate = nullptr;
};

}  // namespace korvex
