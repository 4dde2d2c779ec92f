#include "ui/lab/record_lab.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>

#include "analysis/record/format_choice.h"
#include "analysis/record/record_format.h"
#include "plot/charts/chart_export.h"
#include "plot/plot_text.h"
#include "pulse/file_target.h"
#include "ui/lab/check_panel.h"
#include "ui/lab/read_questions.h"
#include "ui/lab/record_dialog.h"
#include "ui/lab/record_layout.h"
#include "ui/lab/record_pane.h"
#include "ui/widgets/srs_settings.h"

namespace korvex {

RecordLab::RecordLab(RecordPane* pane, CheckPanel* check, SpectrumSettingsRow* spectrum,
                     QWidget* window)
    : QObject(pane), m_pane(pane), m_check(check), m_spectrum(spectrum), m_window(window) {
    m_recheckTimer = new QTimer(this);
    m_recheckTimer->setSingleShot(true);
    m_recheckTimer->setInterval(400);
    connect(m_recheckTimer, &QTimer::timeout, this, &RecordLab::recheckRecord);
    connect(m_check, &CheckPanel::changed, this, &RecordLab::recheckRecord);
    connect(m_pane, &RecordPane::saveReportRequested, this, &RecordLab::askSaveReport);
}

void RecordLab::setNominal(const NominalPulse& nominal) {
    m_nominal = nominal;
    recheckSoon();
}

CheckRequest RecordLab::checkRequest() const {
    CheckRequest r;
    r.pulse = m_nominal.pulse;
    r.time = timeUnitText(m_nominal.unit);
    if (const std::optional<CheckSettings> settings = m_check->settings()) {
        r.settings = *settings;
    } else {
        r.problem = m_check->message();
    }
    r.condition = m_check->condition();
    QString problem;
    QLineEdit* bad = nullptr;
    if (const std::optional<SrsSettings> srs = m_spectrum->parse(problem, bad)) {
        r.settings.srs = *srs;
    } else if (r.problem.isEmpty()) {
        r.problem = problem;
        r.problemInSpectrum = true;
    }
    r.plan.shape = r.pulse.shape;
    r.plan.amplitude = r.pulse.amplitude;
    r.plan.pulseDuration = m_nominal.duration;
    r.plan.unit = m_nominal.unit;
    r.plan.settings = r.settings;
    return r;
}

void RecordLab::askOpenRecord() {
    QSettings settings = userSettings();
    const QString path = QFileDialog::getOpenFileName(
        m_window, tr("Open Record"), settings.value(QStringLiteral("record/folder")).toString(),
        recordFilter());
    if (path.isEmpty()) return;
    settings.setValue(QStringLiteral("record/folder"), QFileInfo(path).absolutePath());
    openRecordFile(path);
}

void RecordLab::openRecordFile(const QString& path) {
    // The first bytes only; a file that cannot be read is the reader's to report.
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly)) head = file.read(kSniffBytes);
    const std::string_view bytes(head.constData(), static_cast<std::size_t>(head.size()));
    const std::string name = QFile::encodeName(path).toStdString();
    const RecordFormat* format = nullptr;
    try {
        format = &chooseRecordFormat(RecordInput{name, bytes}, recordFormats());
    } catch (const RecordError&) {
        // No format claims it: the reader says so in its own words.
    }
    std::optional<ReadOptions> options;
    if (format != nullptr && format->name() != "text") {
        const std::vector<ReadSetting> questions = format->sniff(bytes, name).questions;
        if (!questions.empty()) {
            const std::string_view title = format->title();
            ReadQuestionsDialog dialog(
                QFileInfo(path).fileName(),
                QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())), questions,
                m_window);
            if (dialog.exec() != QDialog::Accepted) return;
            options = dialog.options();
        }
    } else {
        const RecordLayout layout = peekRecordLayout(bytes);
        options = decidedOptions(layout);
        if (!options && layout.columns > 0) {
            RecordDialog dialog(QFileInfo(path).fileName(), layout, m_window);
            if (dialog.exec() != QDialog::Accepted) return;
            options = dialog.options();
        }
    }
    openRecord(path, options.value_or(ReadOptions{}));
}

void RecordLab::openRecord(const QString& path, const ReadOptions& options) {
    m_recheckTimer->stop();  // the record opened is checked with the values of now
    m_pane->open(QFile::encodeName(path).toStdString(), options, checkRequest());
}

void RecordLab::recheckSoon() {
    if (m_pane->hasRecord() || m_pane->isBusy()) m_recheckTimer->start();
}

void RecordLab::recheckRecord() {
    m_recheckTimer->stop();
    if (m_pane->hasRecord() || m_pane->isBusy()) m_pane->recheck(checkRequest());
}

void RecordLab::askSaveReport() {
    if (m_pane->reportJson().empty()) return;
    const QString suggested =
        QFileInfo(m_pane->source()).completeBaseName() + QStringLiteral("-check.json");
    const QString path =
        askSaveName(m_window, tr("Save Report As"), suggested, tr("JSON (*.json)"));
    if (path.isEmpty()) return;
    try {
        m_pane->saveReport(path);
    } catch (const FileError& e) {
        reportUnsaved(m_window, tr("report"), e);
    }
}

}  // namespace korvex
