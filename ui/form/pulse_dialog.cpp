#include "ui/form/pulse_dialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include <algorithm>
#include <exception>
#include <memory>

#include "plot/plot_text.h"
#include "pulse/file_sink.h"
#include "pulse/number_text.h"
#include "ui/form/form_pane.h"
#include "ui/form/qt_template.h"

namespace korvex {
namespace {

template <typename T>
T* control(QDialog& dialog, int id) {
    T* w = dialog.findChild<T*>(controlName(id), Qt::FindDirectChildrenOnly);
    Q_ASSERT(w != nullptr);
    return w;
}

std::string toLocal8Bit(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// The desktop's operations, with the pulse shown in the dialog's own pane.
class PreviewingPlatform : public PulsePlatform {
  public:
    PreviewingPlatform(PulsePlatform& platform, FormPane& pane, PulseTexts typed)
        : m_platform(platform), m_pane(pane), m_typed(std::move(typed)) {}
    void messageBox(const std::string& text) override { m_platform.messageBox(text); }
    std::optional<std::string> askSaveFileName() override { return m_platform.askSaveFileName(); }
    std::unique_ptr<OutputFile> openOutputFile(const std::string& path) override {
        return m_platform.openOutputFile(path);
    }
    void beginWaitCursor() override { m_platform.beginWaitCursor(); }
    void endWaitCursor() override { m_platform.endWaitCursor(); }
    void showPulse(const PulseParameters& params, const PulseSeries& series) override {
        m_platform.showPulse(params, series);
        m_pane.showPulse(params, series, m_typed, m_ratio);
    }
    void clearPulse() override {
        m_platform.clearPulse();
        m_pane.clearPulse();
    }
    // The shaker panel's compensation; its failure is told in the pane.
    std::optional<double> compensationRatio() override {
        m_ratio = m_pane.compensationRatio();
        return m_ratio;
    }
    void compensationFailed(const CompensationError& error) override {
        m_pane.compensationFailed(error);
    }
    std::optional<double> preTime() override { return m_pane.preTime(); }

  private:
    PulsePlatform& m_platform;
    FormPane& m_pane;
    PulseTexts m_typed;  // what the command is about to read, for the pane's notes
    std::optional<double> m_ratio;
};

// A local file among the dragged data, or "".
QString droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return QString();
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return QString();
}

// The selected entry, -1 when none (a control-click can clear the selection).
int selectedRow(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.row(selected.first());
}

}  // namespace

CPulseDlg::CPulseDlg(PulsePlatform& platform, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_hIcon(applicationIcon()) {
    buildFromTemplate(*this, mainDialogTemplate(), m_hIcon);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    // The form keeps its template size at the top left; the panes take the
    // rest of a window that may now be resized.
    m_formSize = size();
    // Tall enough for the pane's spectrum to keep its axis titles whole.
    setMinimumSize(m_formSize.width() + 360, std::max(m_formSize.height(), 480));
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    // As tall as a small screen allows under a title bar and a task bar,
    // so that the pane's charts have room.
    int tall = 600;
    if (const QScreen* screen = this->screen()) tall = screen->availableGeometry().height() - 70;
    resize(m_formSize.width() + 680, std::clamp(tall, std::max(m_formSize.height(), 600), 760));
    DoDataExchange();
    connect(m_calculate, &QPushButton::clicked, this, &CPulseDlg::accept);
    connect(control<QPushButton>(*this, IDCANCEL), &QPushButton::clicked, this, &CPulseDlg::reject);
    connect(m_timeUnit, &QListWidget::itemSelectionChanged, this, &CPulseDlg::OnTimeUnitChange);
    // Once an input changes, the pane's pulse is no longer the form's; the
    // nominal pulse changes with the shape, amplitude, duration and unit.
    const auto changed = [this](bool nominal) {
        if (m_pane == nullptr) return;
        m_pane->inputsChanged();
        if (nominal) m_pane->nominalChanged(nominalPulse());
    };
    for (QLineEdit* edit : {m_amplitude, m_pulseDuration, m_totalDuration, m_sampleRate}) {
        const bool nominal = edit == m_amplitude || edit == m_pulseDuration;
        connect(edit, &QLineEdit::textChanged, this, [changed, nominal] { changed(nominal); });
    }
    for (QListWidget* list : {m_pulseType, m_timeUnit}) {
        connect(list, &QListWidget::itemSelectionChanged, this, [changed] { changed(true); });
    }
    // A file dropped anywhere on the window is opened as a record; the
    // edits would take its name as text.
    setAcceptDrops(true);
    for (QLineEdit* edit : findChildren<QLineEdit*>()) edit->installEventFilter(this);
    OnInitDialog();
}

void CPulseDlg::setPane(QWidget* widget, FormPane* pane, QWidget* underForm) {
    m_paneWidget = widget;
    m_pane = pane;
    m_underForm = underForm;
    for (QWidget* w : {widget, underForm}) {
        if (w != nullptr) w->setParent(this);
    }
    placePanes();
    widget->show();
    pane->nominalChanged(nominalPulse());
}

void CPulseDlg::placePanes() {
    if (m_paneWidget != nullptr) {
        m_paneWidget->setGeometry(m_formSize.width(), 0, width() - m_formSize.width(), height());
    }
    if (m_underForm != nullptr) {
        m_underForm->setGeometry(0, m_formSize.height(), m_formSize.width(),
                                 height() - m_formSize.height());
    }
}

void CPulseDlg::DoDataExchange() {
    m_totalDurationUnit = control<QLineEdit>(*this, IDC_TOTAL_DURATION_UNIT);
    m_pulseDurationUnit = control<QLineEdit>(*this, IDC_PULSE_DURATION_UNIT);
    m_timeUnit = control<QListWidget>(*this, IDC_TIME_UNIT);
    m_totalDuration = control<QLineEdit>(*this, IDC_TOTAL_DURATION);
    m_sampleRate = control<QLineEdit>(*this, IDC_SAMPLE_RATE);
    m_pulseDuration = control<QLineEdit>(*this, IDC_PULSE_DURATION);
    m_amplitude = control<QLineEdit>(*this, IDC_AMPLITUDE);
    m_pulseType = control<QListWidget>(*this, IDC_PULSE_TYPE);
    m_sampleRateUnit = control<QLabel>(*this, IDC_SAMPLE_RATE_UNIT);
    m_calculate = control<QPushButton>(*this, IDOK);
}

bool CPulseDlg::OnInitDialog() {
    // No window system here has a system menu a program can extend, so the
    // same entries live in the dialog's context menu (right click,
    // Shift+F10 or the Menu key).
    m_systemMenu = new QMenu(this);
    m_systemMenu->addAction(tr("Mi&nimize"), this, &QWidget::showMinimized);
    m_systemMenu->addAction(tr("&Close"), this, &QDialog::reject);
    m_systemMenu->addSeparator();
    m_aboutAction =
        m_systemMenu->addAction(QString::fromUtf8(kAboutMenuText.data(), kAboutMenuText.size()),
                                this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    // The edits keep their own editing menu, ended by the About entry too.
    for (QLineEdit* edit : findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly)) {
        edit->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(edit, &QWidget::customContextMenuRequested, this,
                [this, edit](QPoint pos) { showContextMenu(edit, edit->mapToGlobal(pos)); });
    }
    // The keyboard's ways to a context menu, whatever the window system does with them.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)}) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] {
            QWidget* focus = focusWidget() ? focusWidget() : this;
            showContextMenu(focus, focus->mapToGlobal(focus->rect().center()));
        });
    }

    setWindowIcon(m_hIcon);

    m_pulseType->insertItem(0, QStringLiteral("Half-sine"));
    m_pulseType->insertItem(1, QStringLiteral("Terminal Sawtooth"));
    m_pulseType->setCurrentRow(0);
    m_timeUnit->insertItem(0, QStringLiteral("milliseconds"));
    m_timeUnit->insertItem(1, QStringLiteral("seconds"));
    m_timeUnit->setCurrentRow(0);
    OnTimeUnitChange();

    m_calculate->setFocus();
    return true;
}

void CPulseDlg::OnTimeUnitChange() {
    const bool ms = selectedRow(*m_timeUnit) == 0;
    const QString unit = ms ? QStringLiteral("msec") : QStringLiteral("sec");
    m_pulseDurationUnit->setText(unit);
    m_totalDurationUnit->setText(unit);
    // The rate counts samples per selected unit, so its label follows too.
    m_sampleRateUnit->setText(QStringLiteral("samples/") + unit);
    fitLabelToText(*m_sampleRateUnit);
}

void CPulseDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.exec();
    }
}

void CPulseDlg::accept() {
    OnOK();
}

void CPulseDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    placePanes();
}

void CPulseDlg::OnOK() {
    // Without panes (a form on its own) the desktop's operations as they are.
    std::optional<PreviewingPlatform> previewing;
    if (m_pane != nullptr) {
        previewing.emplace(m_platform, *m_pane,
                           PulseTexts{amplitudeText(), pulseDurationText(), totalDurationText(),
                                      sampleRateText()});
    }
    try {
        OnCalculate(*this, previewing ? static_cast<PulsePlatform&>(*previewing) : m_platform);
    } catch (const FileError& e) {
        std::string text =
            "The output file could not be written.\n\n" + e.path() + "\n\n" + e.reason();
        if (e.left() == FileError::Left::Unchanged)
            text += "\n\nThe existing file was left unchanged.";
        m_platform.messageBox(text);
    } catch (const std::exception& e) {
        m_platform.messageBox(std::string("The calculation failed: ") + e.what());
    }
}

void CPulseDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CPulseDlg::dropEvent(QDropEvent* event) {
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // After the drop has ended: the record may need a dialog of its own.
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            if (m_pane != nullptr) m_pane->openFile(path);
        },
        Qt::QueuedConnection);
}

bool CPulseDlg::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (droppedFile(drop->mimeData()).isEmpty()) break;
            if (event->type() == QEvent::Drop) {
                dropEvent(drop);
            } else {
                drop->acceptProposedAction();
            }
            return true;
        }
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void CPulseDlg::contextMenuEvent(QContextMenuEvent* event) {
    showContextMenu(this, event->globalPos());
}

void CPulseDlg::showContextMenu(QWidget* target, QPoint globalPos) {
    auto* edit = qobject_cast<QLineEdit*>(target);
    if (edit == nullptr || edit->parentWidget() != this) {
        m_systemMenu->exec(globalPos);
        return;
    }
    const std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
    menu->addSeparator();
    menu->addAction(m_aboutAction);
    menu->exec(globalPos);
}

int CPulseDlg::timeUnitIndex() {
    return selectedRow(*m_timeUnit);
}
int CPulseDlg::pulseTypeIndex() {
    return selectedRow(*m_pulseType);
}
std::string CPulseDlg::sampleRateText() {
    return toLocal8Bit(m_sampleRate->text());
}
std::string CPulseDlg::amplitudeText() {
    return toLocal8Bit(m_amplitude->text());
}
std::string CPulseDlg::pulseDurationText() {
    return toLocal8Bit(m_pulseDuration->text());
}
std::string CPulseDlg::totalDurationText() {
    return toLocal8Bit(m_totalDuration->text());
}

}  // namespace korvex
