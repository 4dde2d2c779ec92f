// The side pane's bar: Open Record, the Pulse and Record views, work in
// progress with Cancel, and the buttons that open the docked panels.
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>

#include "ui/app/side_pane.h"
#include "ui/drive/drive_window.h"
#include "ui/lab/check_panel.h"
#include "ui/lab/record_lab.h"
#include "ui/lab/shaker_panel.h"
#include "ui/preview/preview_pane.h"

namespace korvex {

QWidget* SidePane::makeBar() {
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    const auto button = [&](const char* name, const QString& text, bool checkable) {
        auto* b = new QToolButton;
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setCheckable(checkable);
        row->addWidget(b);
        return b;
    };
    QToolButton* open = button("openRecord", tr("Open Record\u2026"), false);
    open->setToolTip(
        tr("Read a measured record and check it against the form's pulse "
           "(Ctrl+O, or drop the file on the window)"));
    connect(open, &QToolButton::clicked, this, &SidePane::askOpenRecord);
    // Test plans: the form's pulse and the Check panel's settings in one file.
    QToolButton* plan = button("testPlan", tr("Plan"), false);
    plan->setToolTip(
        tr("Save or open a test plan: the form's pulse and the check's settings, "
           "as korvex-cli check --plan reads them"));
    plan->setPopupMode(QToolButton::InstantPopup);
    auto* planMenu = new QMenu(plan);
    planMenu->addAction(tr("Open Test Plan\u2026"), this, [this] { m_lab->askOpenTestPlan(); });
    planMenu->addAction(tr("Save Test Plan\u2026"), this, [this] { m_lab->askSaveTestPlan(); });
    plan->setMenu(planMenu);
    m_viewPulse = button("viewPulse", tr("Pulse"), true);
    m_viewRecord = button("viewRecord", tr("Record"), true);
    auto* views = new QButtonGroup(bar);
    views->addButton(m_viewPulse);
    views->addButton(m_viewRecord);
    connect(m_viewPulse, &QToolButton::clicked, this,
            [this] { showView(m_preview->hasPulse() ? 1 : 0); });
    connect(m_viewRecord, &QToolButton::clicked, this, [this] { showView(2); });
    m_viewPulse->hide();
    m_viewRecord->hide();

    // Work on a record: what, how far, and Cancel, in the bar so that
    // nothing below it moves.
    m_busy = new QWidget;
    auto* busy = new QHBoxLayout(m_busy);
    busy->setContentsMargins(4, 0, 4, 0);
    busy->setSpacing(3);
    m_busyText = new QLabel;
    m_busyText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_progress = new QProgressBar;
    m_progress->setFixedWidth(80);
    m_progress->setMaximumHeight(12);
    m_progress->setTextVisible(false);
    auto* cancel = new QToolButton;
    cancel->setText(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("cancelWork"));
    connect(cancel, &QToolButton::clicked, this, &SidePane::cancelWork);
    busy->addWidget(m_busyText, 1);
    busy->addWidget(m_progress);
    busy->addWidget(cancel);
    m_busy->hide();
    row->addWidget(m_busy, 10);
    row->addStretch(1);
    m_checkButton = button("checkSettings", tr("Check"), true);
    m_checkButton->setToolTip(tr("The settings a record is checked with"));
    connect(m_checkButton, &QToolButton::toggled, this, [this](bool on) {
        m_check->setVisible(on);
        updateDock();
    });
    QToolButton* spectrum = button("spectrumTest", tr("Spectrum Test"), false);
    spectrum->setToolTip(
        tr("A shaker drive for a required shock response spectrum, and a "
           "record checked against it, in a window of its own"));
    connect(spectrum, &QToolButton::clicked, this, [this] {
        auto* test = findChild<SpectrumTest*>();
        if (test == nullptr) {
            test = new SpectrumTest(this);
            test->setWindowFlag(Qt::Window);
            test->resize(1300, 720);
        }
        test->show();
        test->raise();
    });
    m_shakerButton = button("shaker", tr("Shaker"), true);
    m_shakerButton->setToolTip(tr("Compensation, amplitude unit and the shaker's limits"));
    connect(m_shakerButton, &QToolButton::toggled, this, [this](bool on) {
        m_shaker->setVisible(on);
        updateDock();
    });

    m_openMessage = new QLabel;
    m_openMessage->setObjectName(QStringLiteral("openMessage"));
    m_openMessage->setTextFormat(Qt::PlainText);
    m_openMessage->setWordWrap(true);
    m_openMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_openMessage->setContentsMargins(6, 0, 6, 0);
    m_openMessage->setStyleSheet(QStringLiteral("color: #b00020"));
    m_openMessage->hide();
    return bar;
}

}  // namespace korvex
