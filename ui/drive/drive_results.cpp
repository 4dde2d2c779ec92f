// The Spectrum Test's results: the target, its band and the spectra on the
// chart, the drive and its motion, the words for the achieved error, the
// shaker's limits and a record's verdict, and the drive's file.
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

#include <cmath>

#include "plot/charts/motion_charts.h"
#include "plot/charts/srs_chart.h"
#include "plot/charts/trace_chart.h"
#include "plot/plot_text.h"
#include "pulse/file_sink.h"
#include "pulse/file_target.h"
#include "pulse/number_text.h"
#include "ui/drive/drive_job.h"
#include "ui/drive/synthesis_form.h"

namespace korvex {
namespace {

QString human(double x, int digits = 6) {
    return QString::fromStdString(humanText(x, digits));
}

}  // namespace

void SpectrumTest::showBand(const TargetCheck& check, const DbTolerance& band) {
    std::vector<double> hz, target, lower, upper;
    for (const TargetPointCheck& p : check.points) {
        hz.push_back(p.frequencyHz);
        target.push_back(p.target);
        lower.push_back(p.target * std::pow(10.0, -band.lowDb / 20.0));
        upper.push_back(p.target * std::pow(10.0, band.highDb / 20.0));
    }
    m_srs->setCurve(0, hz, target);
    m_srs->setBand(hz, lower, upper);
    if (hz.empty()) return;
    const auto worst = std::find_if(check.points.begin(), check.points.end(), [&](const auto& p) {
        return p.frequencyHz == check.worstFrequencyHz;
    });
    m_srs->setMark(std::nullopt, QColor());
    if (worst != check.points.end()) {
        m_srs->setMark(QPointF(worst->frequencyHz, worst->achieved),
                       check.passed() ? QColor(0x2c, 0xa0, 0x2c) : QColor(0xb0, 0x00, 0x20));
    }
    m_srs->fitAll(hz.front(), hz.back());
    m_srs->setReadout(0, [points = check.points](std::size_t i) {
        const TargetPointCheck& p = points[i];
        if (std::isnan(p.achieved)) return tr("target %1").arg(human(p.target));
        return tr("target %1, achieved %2, error %3 dB")
            .arg(human(p.target), human(p.achieved), human(p.errorDb, 3));
    });
}

void SpectrumTest::showDrive() {
    m_result = std::move(m_done->result);
    m_settings = m_done->settings;
    const SynthesisResult& r = *m_result;
    std::vector<double> hz, drive;
    for (const TargetPointCheck& p : r.check.points) {
        hz.push_back(p.frequencyHz);
        drive.push_back(p.achieved);
    }
    m_srs->setCurve(1, hz, drive);
    m_srs->setCurve(2, {}, {});
    showRecordLegend(false);
    showBand(r.check, m_settings.tolerance);
    m_verdict->hide();

    m_time.resize(r.drive.size());
    for (std::size_t i = 0; i < m_time.size(); ++i)
        m_time[i] = static_cast<double>(i) * r.intervalS;
    m_drive->setTrace(0, m_time, r.drive);
    const double end = m_time.empty() ? 0.0 : m_time.back() * 1000.0;
    double peak = 0.0;
    for (double v : r.drive) peak = std::max(peak, std::fabs(v));
    m_drive->setWholeView({0.0, end, -peak * 1.05, peak * 1.05});
    m_drive->showAll();
    const std::optional<AccelerationUnit> unit = m_form->unit();
    const ShakerLimits limits = m_form->limits();
    m_motion->draw(m_time, r.drive, r.intervalS, unit, limits, TimeUnitText{1000.0, "ms"});

    const TargetCheck& c = r.check;
    QString status = tr("Drive: %1 samples, attempt %2, %3 iterations; error from %4 to %5 dB")
                         .arg(r.drive.size())
                         .arg(r.attempt)
                         .arg(r.iterations)
                         .arg(human(c.worstLowDb, 3), human(c.worstHighDb, 3));
    status += c.passed() ? tr(", inside the band (worst margin %1 dB at %2 Hz)")
                               .arg(human(c.worstMarginDb, 3), human(c.worstFrequencyHz, 5))
                         : QString();
    m_status->setText(status);
    QStringList warnings;
    if (!r.converged) {
        // korvex-cli's warning, with the window's names for its options.
        warnings << tr("Warning: after %1 attempts of %2 iterations the best drive's spectrum is "
                       "still outside the band: %3 dB at %4 Hz (try another seed, more attempts "
                       "or a longer duration)")
                        .arg(m_settings.attempts)
                        .arg(m_settings.maxIterations)
                        .arg(human(c.worstMarginDb, 3), human(c.worstFrequencyHz, 5));
    }
    if (unit) {
        const ShakerCheck s = checkShakerLimits(computeMotion(r.drive, r.intervalS), *unit, limits);
        if (s.strokeExceeded) {
            warnings << tr("Warning: the stroke, %1 mm peak to peak, exceeds the max stroke %2 mm "
                           "by %3 mm")
                            .arg(human(s.strokeMm, 4), human(limits.maxStrokeMm),
                                 human(-s.strokeMarginMm, 4));
        }
        if (s.velocityExceeded) {
            warnings << tr("Warning: the peak velocity, %1 m/s, exceeds the max velocity %2 m/s "
                           "by %3 m/s")
                            .arg(human(s.velocityMps, 4), human(limits.maxVelocityMps),
                                 human(-s.velocityMarginMps, 4));
        }
    }
    m_warning->setText(warnings.join(QLatin1Char('\n')));
    m_warning->setVisible(!warnings.isEmpty());
    m_save->setEnabled(true);
}

void SpectrumTest::showRecord() {
    const TargetCheck& c = m_done->check;
    std::vector<double> hz, achieved;
    for (const TargetPointCheck& p : c.points) {
        hz.push_back(p.frequencyHz);
        achieved.push_back(p.achieved);
    }
    m_srs->setCurve(2, hz, achieved);
    showRecordLegend(true);
    showBand(c, m_done->settings.tolerance);
    const QString margin = tr("worst margin %1 dB at %2 Hz (error from %3 to %4 dB)")
                               .arg(human(c.worstMarginDb, 3), human(c.worstFrequencyHz, 5),
                                    human(c.worstLowDb, 3), human(c.worstHighDb, 3));
    m_verdict->setText(
        (c.passed() ? tr("PASS: %1 is inside the band, %2") : tr("FAIL: %1 leaves the band, %2"))
            .arg(m_done->recordName, margin));
    m_verdict->setStyleSheet(c.passed() ? QStringLiteral("color: #1a7f1a")
                                        : QStringLiteral("color: #b00020"));
    m_verdict->show();
    m_status->setText(tr("Record checked against the target."));
}

QString SpectrumTest::saveDrive(const QString& path, DriveFormat format) {
    if (!m_result) return tr("There is no drive to save: Synthesise first.");
    try {
        FileSink sink(QFile::encodeName(path).toStdString());
        writeDrive(sink, m_result->drive, m_result->intervalS, format);
        sink.close();
        m_status->setText(tr("Saved the drive to %1").arg(path));
        return QString();
    } catch (const FileError& e) {
        return tr("Cannot write %1: %2")
            .arg(QString::fromStdString(e.path()), QString::fromStdString(e.reason()));
    }
}

}  // namespace korvex
