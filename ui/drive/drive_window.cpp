#include "ui/drive/drive_window.h"

#include <QFileDialog>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "analysis/record_reader.h"
#include "plot/charts/motion_charts.h"
#include "plot/charts/srs_chart.h"
#include "plot/charts/trace_chart.h"
#include "plot/plot_text.h"
#include "ui/drive/drive_job.h"
#include "ui/drive/synthesis_form.h"

namespace korvex {

SpectrumTest::SpectrumTest(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("spectrumTest"));
    setWindowTitle(tr("Spectrum Test \u2014 korvex"));
    m_form = new SynthesisForm;
    const auto button = [this](const char* name, const QString& text, const QString& tip) {
        auto* b = new QPushButton(text);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* open = button("openTarget", tr("Open Target\u2026"),
                               tr("Read the target from a file of lines 'frequency_hz level'"));
    m_run = button("synthesize", tr("Synthesise"),
                   tr("Make a drive whose spectrum meets the target within the band"));
    m_cancel = button("cancelSynthesis", tr("Cancel"), tr("Drop the work running now"));
    m_save = button("saveDrive", tr("Save Drive\u2026"),
                    tr("Write the drive as korvex-cli synthesize --output does"));
    m_check = button("checkRecord", tr("Check Record\u2026"),
                     tr("Read a record and check its first channel against the target"));
    m_cancel->hide();
    m_save->setEnabled(false);
    connect(open, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Open Target"));
        if (!path.isEmpty()) m_form->openTarget(path);
    });
    connect(m_run, &QPushButton::clicked, this, &SpectrumTest::synthesize);
    connect(m_cancel, &QPushButton::clicked, this, &SpectrumTest::cancel);
    connect(m_save, &QPushButton::clicked, this, &SpectrumTest::askSaveDrive);
    connect(m_check, &QPushButton::clicked, this, &SpectrumTest::askCheckRecord);

    m_status = statusLine();
    m_status->setObjectName(QStringLiteral("synthesisStatus"));
    m_verdict = statusLine();
    m_verdict->setObjectName(QStringLiteral("recordVerdict"));
    m_warning = statusLine();
    m_warning->setObjectName(QStringLiteral("driveWarning"));
    m_warning->setStyleSheet(QStringLiteral("color: #b00020"));
    for (QLabel* l : {m_verdict, m_warning}) l->hide();

    m_srs = new SpectrumChart(this);
    m_srs->addBand(tr("Tolerance"));
    m_srs->addCurve(tr("Target"), QColor(0x20, 0x20, 0x20), 1.6, Qt::DashLine);
    m_srs->addCurve(tr("Drive, maximax"), QColor(0x1f, 0x77, 0xb4), 1.6);
    m_srs->addCurve(tr("Record, maximax"), QColor(0xd6, 0x27, 0x28), 1.6);
    m_srs->chart()->setTitle(tr("Shock response spectrum"));
    showRecordLegend(false);
    m_drive = new TraceChart(tr("Drive"), this);
    m_drive->addTrace(tr("Drive"), QColor(0x1f, 0x77, 0xb4), 1.0);
    m_drive->setTimeUnit(1000.0, QStringLiteral("ms"));
    m_motion = new MotionCharts;

    // The drive above its motion, each tall enough for its axis labels.
    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(2);
    rightLayout->addWidget(m_drive->view(), 2);
    rightLayout->addWidget(m_drive->readout());
    rightLayout->addWidget(m_motion, 3);
    auto* charts = new QSplitter(Qt::Horizontal);
    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(m_srs->view(), 1);
    leftLayout->addWidget(m_srs->readout());
    charts->addWidget(left);
    charts->addWidget(right);
    charts->setStretchFactor(0, 1);
    charts->setStretchFactor(1, 1);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {open, m_run, m_cancel, m_save, m_check}) buttons->addWidget(b);
    buttons->addWidget(m_status, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(m_form);
    layout->addLayout(buttons);
    layout->addWidget(m_warning);
    layout->addWidget(m_verdict);
    layout->addWidget(charts, 1);
    m_status->setText(tr("Enter the target and the drive's rate and duration, then Synthesise."));
    showTarget();
}

void SpectrumTest::showTarget() {
    // Straight lines between breakpoints on log-log axes are the target
    // itself: the chart is never empty while the target reads.
    QString problem;
    const auto target = m_form->target(problem);
    const auto band = problem.isEmpty() ? m_form->tolerance(problem) : std::nullopt;
    if (!target || !band) return;
    TargetCheck check;
    for (const TargetBreakpoint& p : target->points) {
        check.points.push_back({p.frequencyHz, p.level, NAN, NAN, NAN});
    }
    m_srs->setCurve(1, {}, {});
    m_srs->setCurve(2, {}, {});
    showRecordLegend(false);
    showBand(check, *band);
}

SpectrumTest::~SpectrumTest() = default;

void SpectrumTest::showRecordLegend(bool on) {
    // The record's curve is the chart's last series; no record, no legend entry.
    const QList<QAbstractSeries*> series = m_srs->chart()->series();
    for (QAbstractSeries* one : series) {
        if (one->name() != tr("Record, maximax")) continue;
        for (QLegendMarker* marker : m_srs->chart()->legend()->markers(one)) {
            marker->setVisible(on);
        }
    }
}

void SpectrumTest::setBusy(bool busy, const QString& what) {
    m_busy = busy;
    m_run->setEnabled(!busy);
    m_check->setEnabled(!busy);
    m_cancel->setVisible(busy);
    if (busy) m_status->setText(what);
}

void SpectrumTest::startJob(std::function<void(Job&)> work) {
    const unsigned generation = ++m_generation;
    auto* watcher = new QFutureWatcher<std::shared_ptr<Job>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_generation) return;  // cancelled or replaced
        std::shared_ptr<Job> job = watcher->result();
        setBusy(false);
        m_done = std::make_unique<Job>(std::move(*job));
        if (!m_done->error.isEmpty()) {
            m_form->showProblem(m_done->error);
            m_status->clear();
        } else if (m_done->record) {
            showRecord();
        } else {
            showDrive();
        }
        emit finished();
    });
    // The work holds only its own copies: the window may go while it runs.
    watcher->setFuture(QtConcurrent::run([work = std::move(work)] {
        auto job = std::make_shared<Job>();
        work(*job);
        return job;
    }));
}

bool SpectrumTest::synthesize() {
    QString problem;
    const std::optional<SynthesisSettings> settings = m_form->read(problem);
    m_form->showProblem(problem);
    if (!settings) return false;
    setBusy(true, tr("Synthesising the drive\u2026"));
    startJob([s = *settings](Job& job) {
        job.settings = s;
        try {
            job.result = std::make_unique<SynthesisResult>(synthesizeDrive(s));
        } catch (const std::exception& e) {
            job.error = QString::fromStdString(e.what());
        }
    });
    return true;
}

bool SpectrumTest::checkRecord(const QString& path) {
    QString problem;
    const auto target = m_form->target(problem);
    const auto band = problem.isEmpty() ? m_form->tolerance(problem) : std::nullopt;
    m_form->showProblem(problem);
    if (!target || !band) return false;
    setBusy(true, tr("Reading and checking %1\u2026").arg(path));
    SynthesisSettings s;
    s.target = *target;
    s.tolerance = *band;
    s.q = m_form->q();
    s.perOctave = m_form->perOctave();
    startJob([s, path](Job& job) {
        job.record = true;
        job.settings = s;
        job.recordName = path;
        try {
            const Record r = readRecord(QFile::encodeName(path).toStdString(), ReadOptions{});
            if (r.channels.empty()) throw std::invalid_argument("the record has no channel");
            const Channel& c = r.channels.front();
            job.check =
                checkAgainstTarget(c.values, c.intervalS, s.target, s.tolerance, s.q, s.perOctave);
        } catch (const std::exception& e) {
            job.error = QString::fromStdString(e.what());
        }
    });
    return true;
}

void SpectrumTest::cancel() {
    ++m_generation;
    setBusy(false);
    m_status->setText(tr("Cancelled."));
}

void SpectrumTest::askSaveDrive() {
    const QString th = tr("korvex time history (*.txt)"), csv = tr("CSV, every digit (*.csv)");
    QString filter = th;
    QString path = QFileDialog::getSaveFileName(this, tr("Save Drive"), QStringLiteral("drive.txt"),
                                                th + QStringLiteral(";;") + csv, &filter);
    if (path.isEmpty()) return;
    const QString why =
        saveDrive(path, filter == csv ? DriveFormat::Csv : DriveFormat::TimeHistory);
    if (!why.isEmpty()) m_form->showProblem(why);
}

void SpectrumTest::askCheckRecord() {
    const QString path = QFileDialog::getOpenFileName(this, tr("Check Record"));
    if (!path.isEmpty()) checkRecord(path);
}

QString SpectrumTest::statusText() const {
    return m_status->text();
}
QString SpectrumTest::verdictText() const {
    return m_verdict->text();
}

}  // namespace korvex
