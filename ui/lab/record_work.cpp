// The record pane's work off the user-interface thread: reading, checking,
// cancelling, and the progress it reports.
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include "plot/charts/motion_charts.h"
#include "plot/charts/srs_chart.h"
#include "plot/charts/trace_chart.h"
#include "ui/lab/record_pane.h"
#include "ui/lab/trust_strip.h"

namespace korvex {
namespace {

enum Stage { kReading, kChecking };

}  // namespace

RecordPane::~RecordPane() {
    // The workers own what they use; they are told to stop, not waited for.
    if (m_job.cancel) m_job.cancel->store(true);
    for (const SpectraJob& job : m_spectra) job.cancel->store(true);
}

QString RecordPane::source() const {
    return m_data ? QString::fromStdString(m_data->source) : QString();
}

void RecordPane::open(const std::string& path, const ReadOptions& options,
                      const CheckRequest& request) {
    start(path, options, request);
}

void RecordPane::recheck(const CheckRequest& request) {
    if (m_job.watcher != nullptr && !m_job.path.empty()) {
        const std::string path = m_job.path;
        const ReadOptions options = m_job.options;
        start(path, options, request);
    } else if (m_raw) {
        start(std::string(), ReadOptions{}, request);
    }
}

void RecordPane::chooseEvent(std::size_t event) {
    if (!m_raw || m_job.watcher != nullptr) return;
    m_event = event;
    start(std::string(), ReadOptions{}, m_request);
}

void RecordPane::start(const std::string& path, const ReadOptions& options,
                       const CheckRequest& request) {
    if (m_job.cancel) m_job.cancel->store(true);
    // What is shown stays until the new record is read and checked.
    stopSpectra();
    const bool opening = !path.empty();
    const std::uint64_t generation = ++m_generation;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    auto stage = std::make_shared<std::atomic<int>>(opening ? kReading : kChecking);
    auto* watcher = new QFutureWatcher<Result>(this);
    m_job = {cancel, stage, watcher, path, options};
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, generation, request, opening] {
                watcher->deleteLater();
                if (generation != m_generation) return;  // cancelled or replaced
                m_job = {};
                finish(watcher->result(), request, opening);
                if (!isBusy()) {
                    m_ticker->stop();
                    emit idle();
                }
            });
    watcher->setFuture(QtConcurrent::run([path, options, request, cancel, stage, data = m_raw,
                                          event = opening ? 0 : m_event]() -> Result {
        Result r;
        if (!path.empty()) {
            try {
                auto loaded = std::make_shared<LoadedRecord>();
                Record read = readRecord(path, options);
                loaded->source = std::move(read.source);
                loaded->record = std::move(read.channels.front());
                const RecordView view = loaded->record.view();
                loaded->time.resize(view.size());
                for (std::size_t i = 0; i < view.size(); ++i) loaded->time[i] = view.timeAt(i);
                r.record = std::move(loaded);
            } catch (const RecordError& e) {
                r.error = e;
                return r;
            } catch (const std::exception& e) {  // out of memory, most likely
                r.error = RecordError(RecordError::Kind::Unreadable, path, 0, 0, e.what());
                return r;
            }
        } else {
            r.record = data;
        }
        if (cancel->load() || r.record == nullptr) return r;
        stage->store(kChecking);
        try {
            r.trust = judgeRecord(r.record, request, event);
        } catch (const ConditionError& e) {
            r.trust.judged = r.trust.conditioned = r.record;
            r.check.refusal = QString::fromStdString(e.what());
            r.check.field = CheckField::Band;
            return r;
        }
        try {
            r.check = checkOutcome(*r.trust.judged, request);
        } catch (const std::exception& e) {
            r.check = {};
            r.check.refusal = QString::fromLocal8Bit(e.what());
            r.check.field = CheckField::Record;
        }
        return r;
    }));
    if (!m_ticker->isActive()) {
        m_since.start();
        m_ticker->start();
    }
}

void RecordPane::cancel() {
    if (!isBusy()) return;
    ++m_generation;
    if (m_job.cancel) m_job.cancel->store(true);
    m_job = {};
    stopSpectra();
    m_ticker->stop();
    emit idle();
}

void RecordPane::close() {
    cancel();
    m_data.reset();
    m_raw.reset();
    m_trust = {};
    m_event = 0;
    m_strip->clear();
    m_outcome = {};
    m_time->clear();
    m_motion->clear();
    m_motionDrawn = false;
    m_srsPoints.clear();
    m_srs->clear();
    m_verdict->clear();
    m_figures->clear();
}

void RecordPane::tick() {
    // Work done within a moment is not worth a flicker.
    if (m_since.elapsed() < 250) return;
    QString what;
    int percent = -1;
    if (m_job.watcher != nullptr) {
        what = m_job.stage->load() == kReading
                   ? tr("Reading %1\u2026")
                         .arg(QFileInfo(QString::fromStdString(m_job.path)).fileName())
                   : tr("Checking\u2026");
    } else if (!m_spectra.empty()) {
        const SrsProgress* p = m_spectra.back().progress.get();
        const double total = 2.0 * static_cast<double>(std::max<std::uint64_t>(p[0].total, 1));
        percent = static_cast<int>(
            std::min(99.0, 100.0 * static_cast<double>(p[0].done + p[1].done) / total));
        what = tr("Spectra of the record and the nominal\u2026");
    } else {
        return;
    }
    emit progress(what, percent);
}

}  // namespace korvex
