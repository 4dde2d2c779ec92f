#include "cli/condition_arguments.h"

#include <cmath>

#include "cli/usage.h"
#include "pulse/number_text.h"

namespace korvex::cli {

void ConditionArguments::add(CLI::App& app) {
    addChoiceOption(app, "--offset", offset, {"none", "pre", "mean"},
                    "Offset to remove first: the mean before the pulse (pre), of the whole record "
                    "(mean), or none (default)");
    app.add_option("--lowpass", lowpass,
                   "Low pass before the figures and spectrum: a channel frequency class "
                   "(CFC60, CFC180, CFC600, CFC1000) or a corner in Hz; run both ways")
        ->type_name("CFC|HZ")
        ->option_text("CFC|HZ");
    addNumberOption(app, "--highpass", highpass,
                    "High pass in Hz for velocity and displacement, run both ways");
    addNumberOption(app, "--filter-pad-ms", padMs,
                    "Padding at each end for the filters, ms (default 10)");
}

LowPassChoice lowPassOption(const std::string& lowpass) {
    LowPassChoice c{lowpass, 0, 0};
    if (lowpass == "CFC60" || lowpass == "CFC180" || lowpass == "CFC600" || lowpass == "CFC1000") {
        c.classHz = numberOption("--lowpass", lowpass.substr(3));
        return c;
    }
    const std::optional<double> hz = parseStrictNumber(lowpass);
    if (!hz || !(*hz > 0) || !std::isfinite(*hz)) {
        throw UsageError("--lowpass",
                         "must be CFC60, CFC180, CFC600, CFC1000 or a frequency in Hz "
                         "greater than 0, got " +
                             lowpass);
    }
    c.cornerHz = *hz;
    return c;
}

ConditionSettings ConditionArguments::validate(const CLI::App& app) const {
    ConditionSettings s;
    s.offset = offset == "pre"    ? OffsetMethod::PreTrigger
               : offset == "mean" ? OffsetMethod::Mean
                                  : OffsetMethod::None;
    if (app.count("--lowpass") > 0) s.lowPass = lowPassOption(lowpass);
    if (app.count("--highpass") > 0) {
        s.highPassHz = numberOption("--highpass", highpass);
        if (!(s.highPassHz > 0)) {
            throw UsageError("--highpass", "must be greater than 0, got " + highpass);
        }
    }
    if (app.count("--filter-pad-ms") > 0) {
        s.padS = numberOption("--filter-pad-ms", padMs) / 1e3;
        if (!(s.padS >= 0)) throw UsageError("--filter-pad-ms", "must be 0 or more, got " + padMs);
    }
    return s;
}

void TrustArguments::add(CLI::App& app) {
    app.add_flag("--pulse", pulse,
                 "Add the achieved pulse to the summary: peak, duration, rise time, and the best "
                 "half-sine and terminal sawtooth");
    addNumberOption(app, "--pulse-fraction", pulseFraction,
                    "Fraction of the peak whose crossings bound the pulse (default 0.1)");
    app.add_flag("--events", events,
                 "List each shock in the record: in the summary, or as a table on standard "
                 "output without one");
    addNumberOption(app, "--event-threshold", eventThreshold,
                    "Magnitude that starts a shock (default 0.3 of the record's peak)");
    addNumberOption(app, "--event-dead-time-ms", eventDeadTimeMs,
                    "Gap below the threshold that ends a shock, ms (default 10)");
}

TrustOptions validateTrust(const CLI::App& app, const TrustArguments& a) {
    TrustOptions o;
    o.pulse = a.pulse;
    o.events = a.events;
    if (app.count("--pulse-fraction") > 0) {
        o.pulseFraction = numberOption("--pulse-fraction", a.pulseFraction);
        if (!(o.pulseFraction > 0 && o.pulseFraction < 0.5)) {
            throw UsageError("--pulse-fraction",
                             "must be greater than 0 and less than 0.5, got " + a.pulseFraction);
        }
    }
    o.eventSettings.pulseFraction = o.pulseFraction;
    if (app.count("--event-threshold") > 0) {
        o.eventSettings.threshold = numberOption("--event-threshold", a.eventThreshold);
        if (!(*o.eventSettings.threshold > 0)) {
            throw UsageError("--event-threshold",
                             "must be greater than 0, got " + a.eventThreshold);
        }
    }
    if (app.count("--event-dead-time-ms") > 0) {
        o.eventSettings.deadTimeS = numberOption("--event-dead-time-ms", a.eventDeadTimeMs) / 1e3;
        if (!(o.eventSettings.deadTimeS >= 0)) {
            throw UsageError("--event-dead-time-ms", "must be 0 or more, got " + a.eventDeadTimeMs);
        }
    }
    for (const char* name : {"--event-threshold", "--event-dead-time-ms"}) {
        if (app.count(name) > 0 && !a.events) throw UsageError::sentence(name, "needs --events");
    }
    return o;
}

ConditionedRecord conditionReported(const RecordView& record, const ConditionSettings& settings) {
    try {
        return conditionRecord(record, settings);
    } catch (const ConditionError& e) {
        throw UsageError("--" + e.setting(), e.what());
    }
}

}  // namespace korvex::cli
