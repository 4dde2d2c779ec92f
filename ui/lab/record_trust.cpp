#include "ui/lab/record_trust.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <type_traits>

namespace korvex {
namespace {

QString tr(const char* s) {
    return QCoreApplication::translate("korvex::RecordPane", s);
}

// [first, end) of `r` as a record of its own, times kept.
std::shared_ptr<LoadedRecord> slice(const LoadedRecord& r, std::size_t first, std::size_t end) {
    auto out = std::make_shared<LoadedRecord>();
    out->source = r.source;
    out->record.name = r.record.name;
    out->record.unit = r.record.unit;
    out->record.intervalS = r.record.intervalS;
    out->record.startS = r.time.empty() ? r.record.startS : r.time[first];
    const auto cut = [first, end](const auto& v) {
        using Vector = std::decay_t<decltype(v)>;
        return v.empty() ? v : Vector(v.begin() + first, v.begin() + end);
    };
    out->record.values = cut(r.record.values);
    out->record.time = cut(r.record.time);
    out->time = cut(r.time);
    out->motion = cut(r.motion);
    return out;
}

QString fitText(const char* name, const PulseFit& f, const TimeUnitText& time) {
    if (!f.found) return tr("%1 none").arg(tr(name));
    return tr("%1 %2 over %3 %4 (residual %5 %)")
        .arg(tr(name), number(f.amplitude, 4), time.of(f.durationS, 4), time.name,
             number(100 * f.residual, 3));
}

}  // namespace

RecordTrust judgeRecord(const std::shared_ptr<const LoadedRecord>& raw, const CheckRequest& request,
                        std::size_t event) {
    RecordTrust t;
    const ConditionSettings& cs = request.condition;
    const RecordView rawView = viewOf(*raw);
    if (cs.offset != OffsetMethod::None || cs.lowPass || cs.highPassHz > 0) {
        ConditionedRecord c = conditionRecord(rawView, cs);
        auto done = std::make_shared<LoadedRecord>(*raw);
        done->record.values.assign(c.values.begin(), c.values.end());
        done->motion = std::move(c.motion);
        t.processing = c.processing;
        t.conditioned = std::move(done);
    } else {
        t.conditioned = raw;
    }
    t.events = findEvents(viewOf(*t.conditioned), EventSettings{});
    std::shared_ptr<const LoadedRecord> rawJudged = raw;
    t.judged = t.conditioned;
    if (t.events.size() > 1) {
        t.event = std::min(event, t.events.size() - 1);
        const ShockEvent& e = t.events[t.event];
        t.judged = slice(*t.conditioned, e.first, e.end);
        rawJudged = slice(*raw, e.first, e.end);
    }
    const RecordView view = viewOf(*t.judged);
    t.pulse = measurePulse(view);
    t.warnings = dataWarnings(viewOf(*rawJudged), cs.highPassHz > 0 ? nullptr : &view, t.pulse, {});
    const double before = request.settings.windowBefore * request.pulse.durationS;
    if (t.pulse.found && before > 0) {
        if (auto w = checkPreTrigger(view, t.pulse, before)) t.warnings.push_back(std::move(*w));
    }
    if (t.pulse.found) {
        t.halfSine = fitPulse(view, t.pulse, PulseShape::HalfSine);
        t.sawtooth = fitPulse(view, t.pulse, PulseShape::TerminalSawtooth);
    }
    return t;
}

QString warningsText(const RecordTrust& trust) {
    QStringList lines;
    for (const DataWarning& w : trust.warnings) {
        lines << tr("Warning: %1").arg(QString::fromStdString(w.message));
    }
    return lines.join(QLatin1Char('\n'));
}

QString achievedText(const RecordTrust& trust, const TimeUnitText& time) {
    const AchievedPulse& p = trust.pulse;
    if (!p.found) return tr("Achieved pulse: none found");
    return tr("Achieved: peak %1%2 at %3 %4, duration at %5 % %6 %4, rise %7 %4;  %8;  %9")
        .arg(number(p.peak, 4),
             peakIsLowerBound(trust.warnings) ? tr(" (a lower bound)") : QString(),
             time.of(p.peakTimeS, 5), time.name, number(100 * p.fraction, 3),
             time.of(p.durationS, 4), time.of(p.riseTimeS, 3),
             fitText("half-sine", trust.halfSine, time), fitText("sawtooth", trust.sawtooth, time));
}

const PulseFit* betterFit(const RecordTrust& trust, PulseType* shape) {
    const PulseFit& h = trust.halfSine;
    const PulseFit& s = trust.sawtooth;
    if (!h.found && !s.found) return nullptr;
    const bool half = h.found && (!s.found || h.residual <= s.residual);
    if (shape != nullptr) *shape = half ? PulseType::HalfSine : PulseType::TerminalSawtooth;
    return half ? &h : &s;
}

}  // namespace korvex
