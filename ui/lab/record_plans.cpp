// The lab's test plans: saved from what the window checks with now, opened
// into the Check panel, the spectrum settings and (through planOpened) the form.
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

#include <string>

#include "analysis/check/test_plan.h"
#include "plot/charts/chart_export.h"
#include "plot/plot_text.h"
#include "pulse/file_sink.h"
#include "ui/lab/check_panel.h"
#include "ui/lab/record_lab.h"
#include "ui/widgets/srs_settings.h"

namespace korvex {

void RecordLab::saveTestPlan(const QString& path) const {
    const std::string json = testPlanJson(checkRequest().plan);
    FileSink sink(QFile::encodeName(path).toStdString());
    sink.write(json.data(), json.size());
    sink.close();
}

void RecordLab::askSaveTestPlan() {
    const CheckRequest request = checkRequest();
    if (!request.problem.isEmpty()) {
        QMessageBox::warning(m_window, tr("Save Test Plan"),
                             tr("Not saved: %1").arg(request.problem));
        return;
    }
    const QString path =
        askSaveName(m_window, tr("Save Test Plan As"), tr("test-plan.json"), tr("JSON (*.json)"));
    if (path.isEmpty()) return;
    try {
        saveTestPlan(path);
    } catch (const FileError& e) {
        reportUnsaved(m_window, tr("test plan"), e);
    }
}

QString RecordLab::openTestPlan(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return tr("cannot read %1").arg(file.errorString());
    const QByteArray text = file.readAll();
    TestPlan plan;
    try {
        plan =
            readTestPlan(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    } catch (const TestPlanError& e) {
        return QString::fromStdString(e.what());
    }
    m_spectrum->setSettings(plan.settings.srs);
    m_check->setSettings(plan.settings);
    emit planOpened(plan);
    recheckSoon();
    return QString();
}

void RecordLab::askOpenTestPlan() {
    QSettings settings = userSettings();
    const QString path = QFileDialog::getOpenFileName(
        m_window, tr("Open Test Plan"), settings.value(QStringLiteral("plan/folder")).toString(),
        tr("Test plans (*.json);;All files (*)"));
    if (path.isEmpty()) return;
    settings.setValue(QStringLiteral("plan/folder"), QFileInfo(path).absolutePath());
    const QString why = openTestPlan(path);
    if (!why.isEmpty()) {
        QMessageBox::warning(m_window, tr("Open Test Plan"),
                             tr("%1 was not opened: %2").arg(QFileInfo(path).fileName(), why));
    }
}

}  // namespace korvex
