#include "ui/app/side_pane.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/lab/check_panel.h"
#include "ui/lab/record_lab.h"
#include "ui/lab/record_pane.h"
#include "ui/lab/shaker_panel.h"
#include "ui/preview/preview_pane.h"
#include "ui/widgets/srs_settings.h"

namespace korvex {

SidePane::SidePane(QWidget* parent) : QWidget(parent) {
    m_stack = new QStackedWidget;
    m_shaker = new ShakerPanel;
    m_shaker->hide();
    m_check = new CheckPanel;
    m_check->hide();
    // The panels dock under the form, one over the other, so that opening
    // them takes no height from the charts.
    auto* dockPage = new QWidget;
    auto* dockLayout = new QVBoxLayout(dockPage);
    dockLayout->setContentsMargins(8, 0, 8, 4);
    dockLayout->setSpacing(4);
    dockLayout->addWidget(m_check);
    dockLayout->addWidget(m_shaker);
    dockLayout->addStretch(1);
    m_dock = new QScrollArea(this);
    m_dock->setObjectName(QStringLiteral("panelDock"));
    m_dock->setWidget(dockPage);
    m_dock->setWidgetResizable(true);
    m_dock->setFrameShape(QFrame::NoFrame);
    m_dock->hide();

    QWidget* bar = makeBar();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 8, 8);
    layout->setSpacing(2);
    layout->addWidget(bar);
    layout->addWidget(m_openMessage);
    layout->addWidget(m_stack, 1);

    m_hint =
        new QLabel(tr("Calculate shows the pulse here: its time history, its shock "
                      "response spectrum and its figures.\n\nOpen Record\u2026 (or a file "
                      "dropped on the window) checks a measured shock against it."));
    m_hint->setAlignment(Qt::AlignCenter);
    m_hint->setWordWrap(true);
    m_stack->addWidget(m_hint);
    m_preview = new PreviewPane;
    m_stack->addWidget(m_preview);
    // After the pulse page, whose tabs are the pane's first.
    m_record = new RecordPane;
    m_stack->addWidget(m_record);
    m_lab = new RecordLab(m_record, m_check, m_preview->spectrumSettingsRow(), this);
    connect(m_preview->spectrumSettingsRow(), &SpectrumSettingsRow::applyRequested, m_lab,
            &RecordLab::recheckRecord);

    connect(m_shaker, &ShakerPanel::changed, this, &SidePane::shakerChanged);
    shakerChanged();
    connectRecord();
    auto* open = new QShortcut(QKeySequence::Open, this);
    open->setContext(Qt::WindowShortcut);
    connect(open, &QShortcut::activated, this, &SidePane::askOpenRecord);

    // Out of the form's Tab chain: a click still gives the focus.
    setFocusPolicy(Qt::NoFocus);
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->focusPolicy() & Qt::TabFocus) w->setFocusPolicy(Qt::ClickFocus);
    }
}

void SidePane::connectRecord() {
    connect(m_record, &RecordPane::progress, this, [this](const QString& what, int percent) {
        m_busyText->setText(what);
        m_progress->setRange(0, percent < 0 ? 0 : 100);
        if (percent >= 0) m_progress->setValue(percent);
        m_busy->show();
    });
    connect(m_record, &RecordPane::idle, this, [this] {
        m_busy->hide();
        emit recordIdle();
    });
    connect(m_record, &RecordPane::openFailed, this, [this](const QString& reason) {
        m_openMessage->setText(tr("Not opened: %1").arg(reason));
        m_openMessage->show();
        emit recordFailed();
    });
    connect(m_record, &RecordPane::checked, this, [this](bool opened) {
        m_openMessage->hide();
        m_viewPulse->setVisible(true);
        m_viewRecord->setVisible(true);
        // A setting the check refused is marked where it is typed.
        const CheckOutcome& o = m_record->outcome();
        if (o.field && *o.field >= CheckField::Band && o.refusal != m_check->message()) {
            m_check->showRefusal(*o.field, o.refusal);
        }
        if (opened) showView(2);
        emit recordChecked();
    });
    connect(m_record, &RecordPane::closeRequested, this, [this] {
        m_record->close();
        m_viewPulse->setVisible(false);
        m_viewRecord->setVisible(false);
        showView(m_preview->hasPulse() ? 1 : 0);
    });
}

void SidePane::shakerChanged() {
    // The shaker's unit and limits redraw the motion at once; a new ratio
    // is the next Calculate's, so the pulse shown no longer is.
    const QString summary = m_shaker->summary();
    m_shakerButton->setText(summary.isEmpty() ? tr("Shaker") : tr("Shaker: %1").arg(summary));
    QFont font = m_shakerButton->font();
    font.setBold(!summary.isEmpty());
    m_shakerButton->setFont(font);
    m_record->setMotionUnits(m_shaker->unit(), m_shaker->limits());
    if (m_preview->hasPulse() && m_shaker->ratio() != m_preview->shownCompensation()) {
        m_preview->markStale();
    }
    m_preview->setMotionUnits(m_shaker->unit(), m_shaker->limits());
}

void SidePane::showPulse(const PulseParameters& params, const PulseSeries& series,
                         const PulseTexts& typed, std::optional<double> compensation) {
    m_preview->showPulse(params, series, &typed, compensation);
    showView(1);
}

void SidePane::clearPulse() {
    m_preview->clearPulse();
    showView(0);
}

std::optional<double> SidePane::compensationRatio() {
    return m_shaker->ratio();
}

void SidePane::compensationFailed(const CompensationError& error) {
    m_shaker->showProblem(tr("Compensation: %1").arg(QString::fromStdString(error.what())));
    m_shakerButton->setChecked(true);
}

std::optional<double> SidePane::preTime() {
    return m_preview->preTime();
}

void SidePane::inputsChanged() {
    m_preview->markStale();
}

void SidePane::nominalChanged(const NominalPulse& nominal) {
    m_lab->setNominal(nominal);
}

void SidePane::showView(int page) {
    // One row of spectrum settings, under the spectrum in view.
    QWidget* row = m_preview->spectrumSettingsRow();
    if (page == 2) {
        m_record->spectrumSettingsHost()->addWidget(row);
    } else if (row->parentWidget() != m_preview->spectrumView()->parentWidget()) {
        m_preview->spectrumView()->parentWidget()->layout()->addWidget(row);
    }
    m_stack->setCurrentIndex(page);
    m_viewPulse->setChecked(page != 2);
    m_viewRecord->setChecked(page == 2);
}

bool SidePane::isShowingPulse() const {
    return m_stack->currentIndex() == 1;
}

bool SidePane::isShowingRecord() const {
    return m_stack->currentIndex() == 2;
}

void SidePane::askOpenRecord() {
    m_lab->askOpenRecord();
}

void SidePane::openRecordFile(const QString& path) {
    m_openMessage->hide();
    m_lab->openRecordFile(path);
}

QString SidePane::openMessage() const {
    return m_openMessage->isHidden() ? QString() : m_openMessage->text();
}

bool SidePane::isBusy() const {
    return m_record->isBusy();
}

void SidePane::cancelWork() {
    m_record->cancel();
}

QString SidePane::motionText() const {
    return m_preview->motionText();
}

QString SidePane::limitsText() const {
    return m_preview->limitsText();
}

void SidePane::updateDock() {
    const bool open = !m_check->isHidden() || !m_shaker->isHidden();
    m_dock->setVisible(open);
}

QWidget* SidePane::panelDock() const {
    return m_dock;
}

}  // namespace korvex
