#include "ui/lab/check_outcome.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>

#include "analysis/series_reduction.h"
#include "pulse/number_text.h"

namespace korvex {
namespace {

QString tr(const char* s) {
    return QCoreApplication::translate("korvex::RecordPane", s);
}

// More band rows than this are thinned to each curve's extremes per column.
constexpr std::size_t kMostBandPoints = 8000;

std::vector<QPointF> curve(const std::vector<BandRow>& rows, double BandRow::*member) {
    std::vector<double> t(rows.size()), y(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) t[i] = rows[i].timeS, y[i] = rows[i].*member;
    std::vector<QPointF> out;
    if (rows.size() <= kMostBandPoints) {
        for (std::size_t i = 0; i < rows.size(); ++i) out.emplace_back(t[i], y[i]);
        return out;
    }
    for (const ChartPoint& p : minMaxReduce(t, y, static_cast<int>(kMostBandPoints / 2))) {
        out.emplace_back(p.x, p.y);
    }
    return out;
}

QString fieldName(const CheckOutcome& o, const QString& source) {
    if (o.spectrumSettings) return tr("Spectrum settings");
    if (!o.field) return QString();
    switch (*o.field) {
        case CheckField::Record:
            return source;
        case CheckField::Shape:
            return tr("Pulse type");
        case CheckField::Amplitude:
            return tr("Amplitude");
        case CheckField::Duration:
            return tr("Pulse duration");
        default:
            return tr("Check settings");
    }
}

}  // namespace

RecordView viewOf(const LoadedRecord& r) {
    RecordView v = r.record.view();
    // The file's own times, which the reader gave and the check must see.
    if (!r.record.time.empty() || r.time.empty()) return v;
    return {std::span<const double>(), r.record.values, r.record.startS, r.record.intervalS};
}

CheckOutcome checkOutcome(const LoadedRecord& data, const CheckRequest& request) {
    CheckOutcome o;
    if (!request.problem.isEmpty() && (!request.problemInSpectrum || request.settings.spectrum)) {
        o.refusal = request.problem;
        o.spectrumSettings = request.problemInSpectrum;
        if (!o.spectrumSettings) o.field = CheckField::Band;
        return o;
    }
    const RecordView view = viewOf(data);
    try {
        o.report = checkRecord(view, request.pulse, request.settings);
    } catch (const CheckError& e) {
        o.refusal = QString::fromStdString(e.what());
        o.field = e.field();
        return o;
    } catch (const SrsSettingError& e) {
        o.refusal = QString::fromStdString(e.what());
        o.spectrumSettings = true;
        return o;
    }
    const std::vector<BandRow> rows = bandRows(view, *o.report);
    o.lower = curve(rows, &BandRow::lower);
    o.upper = curve(rows, &BandRow::upper);
    if (!rows.empty()) {
        o.bandFirst = static_cast<std::size_t>(
            std::lower_bound(data.time.begin(), data.time.end(), rows.front().timeS) -
            data.time.begin());
    }
    // The nominal from its shape, not from samples: flat, the pulse, flat.
    const CheckPulse& p = request.pulse;
    const double tau = o.report->offsetS, D = p.durationS;
    const double first = data.time.front(), last = data.time.back();
    const auto add = [&o](double t, double y) {
        o.nominalT.push_back(t);
        o.nominalY.push_back(y);
    };
    if (first < tau) add(first, 0.0);
    constexpr int kSteps = 400;
    for (int k = 0; k <= kSteps; ++k) {
        const double s = D * k / kSteps;
        add(tau + s, nominalAt(p, s));
    }
    if (p.shape == PulseType::TerminalSawtooth) add(tau + D, 0.0);
    if (last > tau + D) add(last, 0.0);
    return o;
}

QString verdictText(const CheckReport& report, const TimeUnitText& time) {
    QString text = QString::fromStdString(checkVerdict(report));
    if (time.scale == 1.0) return text;
    // korvex-cli's words, with the band's worst sample's time in the form's unit.
    const double t = report.band.worstTimeS;
    const QString seconds = QString::fromStdString(humanText(t, 6));
    return text.replace(QStringLiteral(" at %1 s").arg(seconds),
                        QStringLiteral(" at %1 %2").arg(time.of(t), time.name));
}

QString refusalText(const CheckOutcome& o, const QString& source) {
    return tr("Not checked: %1: %2").arg(fieldName(o, source), o.refusal);
}

QString checkFiguresText(const CheckReport& r, const TimeUnitText& time) {
    QStringList figures;
    const BandResult& b = r.band;
    const QString shape =
        r.pulse.shape == PulseType::TerminalSawtooth ? tr("terminal sawtooth") : tr("half-sine");
    figures << tr("Nominal (the form's values): %1, amplitude %2, %3 %5, starting at %4 %5")
                   .arg(shape, number(r.pulse.amplitude), time.of(r.pulse.durationS),
                        time.of(r.offsetS), time.name);
    figures << tr("Band: %1 of %2 samples outside; margin %3 of |A| at %4 %8 (value %5, limits %6 "
                  "to %7)")
                   .arg(b.samplesOutside)
                   .arg(b.samplesChecked)
                   .arg(number(b.worstMargin), time.of(b.worstTimeS), number(b.worstValue),
                        number(b.worstLower), number(b.worstUpper), time.name);
    figures << tr("Velocity change: %1 against %2, ratio %3 (tolerance %4)")
                   .arg(number(r.velocity.measured), number(r.velocity.nominal),
                        number(r.velocity.ratio), number(r.settings.velocityTolerance));
    if (r.srs) {
        figures << tr("Spectrum: %1 dB at %2 Hz, range %3 to %4 dB")
                       .arg(number(r.srs->worstDb), number(r.srs->worstFrequencyHz),
                            number(r.settings.spectrum->lowDb),
                            number(r.settings.spectrum->highDb));
    } else {
        figures << tr("Spectrum: not checked (no dB range in the check settings)");
    }
    return figures.join(QLatin1Char('\n'));
}

}  // namespace korvex
