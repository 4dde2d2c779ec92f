// The pulse pane's spectrum: its settings applied, computed off the
// user-interface thread from the pulse (or its compensated record), drawn.
#include <QChart>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

#include "analysis/pulse_figures.h"
#include "plot/charts/srs_chart.h"
#include "pulse/pulse_series.h"
#include "ui/preview/preview_pane.h"
#include "ui/widgets/srs_settings.h"

namespace korvex {

QString PreviewPane::spectrumSettingsMessage() const {
    return m_srsRow->message();
}

void PreviewPane::applySpectrumSettings() {
    const std::optional<double> interval =
        m_series != nullptr ? std::optional(sampleIntervalSeconds(m_params)) : std::nullopt;
    m_settings = m_srsRow->read(interval);
    if (!m_settings) {
        if (m_series != nullptr) {
            abandonSpectrum();
            spectrumUnavailable(tr("the settings below do not pass"));
        }
        return;
    }
    m_srsRow->remember();
    if (m_series != nullptr) startSpectrum();
}

void PreviewPane::abandonSpectrum() {
    for (const Job& job : m_jobs) job.cancel->store(true);
    m_srs->clear();
    m_points.clear();
}

void PreviewPane::startSpectrum() {
    abandonSpectrum();
    m_settings = m_srsRow->read(sampleIntervalSeconds(m_params));
    if (!m_settings) {
        spectrumUnavailable(spectrumSettingsMessage());
        return;
    }
    m_plan = planShockSpectrum(*m_settings, sampleIntervalSeconds(m_params));
    m_srs->chart()->setTitle(tr("Q %1, %2 Hz to %3 Hz, %4 per octave: computing\u2026")
                                 .arg(number(m_plan.q), number(m_plan.fromHz), number(m_plan.toHz))
                                 .arg(m_plan.perOctave));

    // The worker makes its own copy of the samples: the next Calculate may
    // overwrite the series while it runs.
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    auto* watcher = new QFutureWatcher<std::vector<SrsPoint>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, cancel] {
        const bool current = !m_jobs.empty() && m_jobs.back().watcher == watcher;
        if (current && !cancel->load()) showSpectrum(watcher->result());
        std::erase_if(m_jobs, [watcher](const Job& j) { return j.watcher == watcher; });
        watcher->deleteLater();
    });
    m_jobs.push_back({cancel, watcher});
    watcher->setFuture(QtConcurrent::run(
        [params = m_params, plan = m_plan, compensation = m_compensation, cancel] {
            if (!compensation) {
                return computeShockSpectrum(pulseAmplitudes(params), plan, 0, cancel.get());
            }
            const auto n = static_cast<std::size_t>(std::max(compensation->count, 0));
            std::vector<double> times(n), samples(n);
            computeCompensatedSamples(params, *compensation, 0, compensation->count, times.data(),
                                      samples.data());
            return computeShockSpectrum(samples, plan, 0, cancel.get());
        }));
}

void PreviewPane::showSpectrum(const std::vector<SrsPoint>& points) {
    std::vector<double> hz, positive, negative, maximax;
    for (const SrsPoint& p : points) {
        hz.push_back(p.frequencyHz);
        positive.push_back(p.positive);
        negative.push_back(p.negative);
        maximax.push_back(p.maximax);
    }
    m_srs->setCurve(0, hz, positive);
    m_srs->setCurve(1, hz, negative);
    m_srs->setCurve(2, hz, maximax);
    // Log axes cannot show zero or below; such points are left out.
    if (!m_srs->fitAll(m_plan.frequencies.front(), m_plan.frequencies.back())) {
        m_srs->clear();
        spectrumUnavailable(points.empty() || std::isnan(points.front().maximax)
                                ? tr("a sample of the record is not a number")
                                : tr("no system responds: the record is all zeros"));
        return;
    }
    m_points = points;
    m_srs->chart()->setTitle(tr("Q %1, %2 Hz to %3 Hz, %4 per octave")
                                 .arg(number(m_plan.q), number(m_plan.fromHz), number(m_plan.toHz))
                                 .arg(m_plan.perOctave));
    emit spectrumReady();
}

void PreviewPane::spectrumUnavailable(const QString& why) {
    m_srs->chart()->setTitle(tr("No spectrum: %1").arg(why));
    emit spectrumReady();
}

}  // namespace korvex
