// The record pane's spectra: the record's and the nominal's, computed off the
// user-interface thread, drawn with the check's dB range and worst frequency.
#include <QChart>
#include <QFileInfo>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

#include "plot/charts/motion_charts.h"
#include "plot/charts/srs_chart.h"
#include "plot/charts/trace_chart.h"
#include "ui/lab/record_pane.h"

namespace korvex {
void RecordPane::stopSpectra() {
    for (const SpectraJob& job : m_spectra) job.cancel->store(true);
    if (!m_spectra.empty() && m_srsPoints.empty()) {
        m_srs->chart()->setTitle(tr("No spectrum: stopped"));
    }
    m_spectra.clear();
}

void RecordPane::abandonSpectra() {
    stopSpectra();
    m_srsPoints.clear();
    m_srs->clear();
}

void RecordPane::startSpectra() {
    abandonSpectra();
    if (!m_data) return;
    if (m_request.problemInSpectrum) {
        m_srs->chart()->setTitle(tr("No spectrum: %1").arg(m_request.problem));
        emit spectraReady();
        return;
    }
    SrsPlan plan;
    try {
        plan = planShockSpectrum(m_request.settings.srs, m_data->record.intervalS);
    } catch (const SrsSettingError& e) {
        m_srs->chart()->setTitle(tr("No spectrum: %1").arg(QString::fromStdString(e.what())));
        emit spectraReady();
        return;
    }
    if (!m_outcome.report) {
        m_srs->chart()->setTitle(tr("No spectrum: the record is not checked"));
        emit spectraReady();
        return;
    }
    m_srs->chart()->setTitle(tr("Q %1, %2 Hz to %3 Hz, %4 per octave: computing\u2026")
                                 .arg(number(plan.q), number(plan.fromHz), number(plan.toHz))
                                 .arg(plan.perOctave));
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<SrsProgress[]> progress(new SrsProgress[2]);
    auto* watcher = new QFutureWatcher<std::vector<SrsPoint>>(this);
    const std::uint64_t generation = m_generation;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation, plan] {
        watcher->deleteLater();
        const bool current =
            !m_spectra.empty() && m_spectra.back().watcher == watcher && generation == m_generation;
        if (!current) return;
        m_spectra.clear();
        std::vector<SrsPoint> both = watcher->result();
        // korvex-cli's words for the spectrum of a clipped record.
        const QString clipped = peakIsLowerBound(m_trust.warnings)
                                    ? tr(";  clipped: every response is a lower bound")
                                    : QString();
        m_srs->chart()->setTitle(tr("Q %1, %2 Hz to %3 Hz, %4 per octave%5")
                                     .arg(number(plan.q), number(plan.fromHz), number(plan.toHz))
                                     .arg(plan.perOctave)
                                     .arg(clipped));
        showSpectra(both);
        if (!isBusy()) {
            m_ticker->stop();
            emit idle();
        }
    });
    m_spectra.push_back({cancel, progress, watcher});
    if (!m_ticker->isActive()) {
        m_since.start();
        m_ticker->start();
    }
    // The nominal on the record's own times, started where the check
    // started it, as the check's spectrum compares them.
    watcher->setFuture(
        QtConcurrent::run([data = m_data, plan, cancel, progress, pulse = m_outcome.report->pulse,
                           start = m_outcome.report->offsetIndex] {
            const RecordView view = viewOf(*data);
            std::vector<SrsPoint> got =
                computeShockSpectrum(view.values, plan, 0, cancel.get(), &progress[0]);
            std::vector<double> nominal(view.size());
            const double tau = view.timeAt(start);
            for (std::size_t i = 0; i < nominal.size(); ++i) {
                nominal[i] = nominalAt(pulse, view.timeAt(i) - tau);
            }
            const std::vector<SrsPoint> want =
                computeShockSpectrum(nominal, plan, 0, cancel.get(), &progress[1]);
            got.insert(got.end(), want.begin(), want.end());
            return got;
        }));
}

void RecordPane::showSpectra(const std::vector<SrsPoint>& both) {
    const std::size_t n = both.size() / 2;
    const std::optional<SpectrumTolerance> tolerance = m_request.settings.spectrum;
    std::vector<double> hz(n), got(n), want(n), lower, upper;
    for (std::size_t i = 0; i < n; ++i) {
        hz[i] = both[i].frequencyHz;
        got[i] = both[i].maximax;
        want[i] = both[n + i].maximax;
    }
    if (tolerance) {
        for (double w : want) {
            lower.push_back(w * std::pow(10.0, tolerance->lowDb / 20));
            upper.push_back(w * std::pow(10.0, tolerance->highDb / 20));
        }
    }
    m_srs->setBand(tolerance ? hz : std::vector<double>{}, lower, upper);
    m_srs->setCurve(0, hz, want);
    m_srs->setCurve(1, hz, got);
    if (n == 0 || !m_srs->fitAll(hz.front(), hz.back())) {
        m_srs->chart()->setTitle(tr("No spectrum: no system responds"));
        emit spectraReady();
        return;
    }
    m_srsPoints = both;
    // The spectrum check's worst frequency, on the record's curve.
    m_srs->setMark(std::nullopt, Qt::red);
    const CheckReport& r = *m_outcome.report;
    if (r.srs) {
        const QColor c = r.srs->pass ? QColor(0x60, 0x60, 0x60) : QColor(0xc0, 0x10, 0x10);
        // Said in the title: the worst frequency is often the last, where a
        // label at the point would be cut off.
        m_srs->chart()->setTitle(
            m_srs->chart()->title() +
            tr("; marked: %1 dB at %2 Hz")
                .arg(number(r.srs->worstDb, 3), number(r.srs->worstFrequencyHz, 4)));
        for (std::size_t i = 0; i < n; ++i) {
            if (hz[i] == r.srs->worstFrequencyHz) m_srs->setMark(QPointF(hz[i], got[i]), c);
        }
    }
    emit spectraReady();
}

}  // namespace korvex
