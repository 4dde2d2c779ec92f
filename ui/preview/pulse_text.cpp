#include "ui/preview/pulse_text.h"

#include <QCoreApplication>
#include <QStringList>

#include "pulse/number_text.h"
#include "pulse/pulse_messages.h"

namespace korvex {
namespace {

QString tr(const char* s) {
    return QCoreApplication::translate("korvex::PreviewPane", s);
}

QString human(double x, int digits = 6) {
    return QString::fromStdString(humanText(x, digits));
}

}  // namespace

QString pulseFiguresText(const PulseFigures& f, const PulseParameters& params,
                         const std::optional<CompensationPlan>& compensation,
                         const TimeUnitText& time) {
    QStringList lines;
    lines << QStringLiteral("Samples: %1 at intervals of %2 %4, covering %3 %4")
                 .arg(f.samples)
                 .arg(time.of(f.sampleInterval), time.of(f.record), time.name)
          << QStringLiteral("Peak: %1 at %2 %3")
                 .arg(number(f.peakAmplitude), time.of(f.peakTime), time.name)
          << QStringLiteral("Velocity change: %1 (samples), %2 (ideal pulse), amplitude \u00d7 s")
                 .arg(number(f.velocityChange), number(f.velocityChangeIdeal));
    if (compensation) {
        const CompensationPlan& c = *compensation;
        lines << tr("Compensation P %1: pre-pulse %2 %6 of peak %3, post-pulse %4 %6 of peak "
                    "%5; %7")
                     .arg(number(c.ratio), number(c.preDuration), number(c.prePeak),
                          number(c.postDuration), number(c.postPeak), time.name,
                          c.endsAtRest ? tr("ends at rest")
                                       : tr("does not end at rest: the record is cut short"));
        if (c.cut) {
            lines << QString::fromStdString(cutNote(kMaxSamples * sampleIntervalSeconds(params)));
        }
    } else if (const auto covered = cutCoverageSeconds(params)) {
        lines << QString::fromStdString(cutNote(*covered));
    }
    return lines.join(QLatin1Char('\n'));
}

QString motionSummaryText(const MotionFigures& p, bool si) {
    const QString vUnit = si ? QStringLiteral("m/s") : tr("amplitude \u00d7 s");
    const QString xUnit = si ? QStringLiteral("mm") : tr("amplitude \u00d7 s\u00b2");
    return tr("Motion: peak velocity %1 %3, final %2 %3; displacement %4 %6 peak "
              "to peak, final %5 %6")
        .arg(number(p.peakVelocity), number(p.finalVelocity), vUnit,
             number(p.displacementPeakToPeak), number(p.finalDisplacement), xUnit);
}

QString exceededLimitsText(const ShakerCheck& check, const ShakerLimits& limits) {
    // The same words as korvex-cli's warnings.
    QStringList exceeded;
    if (check.strokeExceeded) {
        exceeded << tr("The stroke, %1 mm peak to peak, exceeds the limit %2 mm by %3 mm")
                        .arg(human(check.strokeMm, 4), human(limits.maxStrokeMm),
                             human(-check.strokeMarginMm, 4));
    }
    if (check.velocityExceeded) {
        exceeded << tr("The peak velocity, %1 m/s, exceeds the limit %2 m/s by %3 m/s")
                        .arg(human(check.velocityMps, 4), human(limits.maxVelocityMps),
                             human(-check.velocityMarginMps, 4));
    }
    return exceeded.join(QLatin1Char('\n'));
}

QString pulseTitleText(const PulseParameters& params, const PulseFigures& f,
                       std::optional<double> compensation, const TimeUnitText& time) {
    const QString shape = params.pulseType == PulseType::HalfSine ? tr("Half-sine")
                          : params.pulseType == PulseType::TerminalSawtooth
                              ? tr("Terminal sawtooth")
                              : tr("No shape");
    QString title = tr("%1: amplitude %2, duration %3 %6, record %4 %6, %5 samples/%6")
                        .arg(shape, number(params.amplitude), number(params.pulseDuration),
                             time.of(f.record), number(params.sampleRate), time.name);
    if (compensation) title += tr(", compensated, P %1").arg(number(*compensation));
    return title;
}

}  // namespace korvex
