#include "cli/analyse_command.h"

#include <nlohmann/json.hpp>

#include <future>
#include <optional>

#include "analysis/motion.h"
#include "analysis/record_figures.h"
#include "analysis/trust/data_warnings.h"
#include "cli/output_files.h"
#include "cli/trust_outputs.h"

namespace korvex::cli {

void AnalyseArguments::add(CLI::App& app) {
    record.add(app);
    outputs.add(app, "the record");
    condition.add(app);
    trust.add(app);
}

int runAnalyse(const CLI::App& app, const AnalyseArguments& a) {
    const ReadOptions readOptions = a.record.validate(app);
    const RecordOutputs o = validateOutputs(app, a.outputs);
    const ConditionSettings conditionSettings = a.condition.validate(app);
    const TrustOptions trust = validateTrust(app, a.trust);
    const MotionOptions& motion = o.motion;
    if (o.summary.empty() && o.srs.empty() && motion.motion.empty() && !trust.events) {
        throw UsageError::required("--summary, --srs, --motion or --events");
    }
    requireDistinctOutputs({{"FILE", a.record.file == "-" ? "" : a.record.file},
                            {"--summary", o.summary},
                            {"--srs", o.srs},
                            {"--motion", motion.motion},
                            {"--events", trust.events && o.summary.empty() ? "-" : ""}});

    Record record;
    int status = kExitDone;
    if (!readRecordReported(a.record.file, readOptions, record, status)) return status;
    const Channel& channel = record.channel();
    const RecordView raw = channel.view();
    std::optional<SrsPlan> srsPlan;
    if (!o.srs.empty()) srsPlan = planSpectrum(o.srsSettings, channel.intervalS, a.record.file);

    // The record as judged: conditioned when asked, else the samples as read.
    ConditionedRecord conditioned;
    RecordView view = raw, motionView = raw;
    if (conditionSettings.offset != OffsetMethod::None || conditionSettings.lowPass ||
        conditionSettings.highPassHz > 0) {
        conditioned = conditionReported(raw, conditionSettings);
        view.values = conditioned.values;
        motionView.values = conditioned.motion.empty() ? conditioned.values : conditioned.motion;
    }
    // The motion on the second core while this one judges the data and
    // takes the figures.
    std::future<MotionFigures> motionFigures;
    if (!o.summary.empty()) {
        motionFigures = std::async(std::launch::async, [&motionView] {
            return computeMotion(motionView.values, motionView.intervalS);
        });
    }
    // One scan of the record as read serves the pulse (when the record is
    // judged as read) and the clips.
    const SampleScan rawScan = scanSamples(raw.values);
    const bool asRead = view.values.data() == raw.values.data();
    const AchievedPulse pulse = asRead ? measurePulse(view, trust.pulseFraction, rawScan)
                                       : measurePulse(view, trust.pulseFraction);
    const std::vector<DataWarning> warnings =
        dataWarnings(raw, conditionSettings.highPassHz > 0 ? nullptr : &view, pulse, {}, &rawScan);
    printWarnings(warnings);
    const bool lowerBound = peakIsLowerBound(warnings);
    std::vector<ShockEvent> events;
    if (trust.events) events = findEvents(view, trust.eventSettings, asRead ? &rawScan : nullptr);

    bool ok = true;
    if (!o.summary.empty()) {
        const RecordFigures f = computeRecordFigures(view);
        nlohmann::ordered_json j = {
            {"source", record.source},
            {"column", channel.name},
            {"samples", f.samples},
            {"sample_interval_s", f.intervalS},
            {"start_time_s", f.startS},
            {"record_s", f.recordS},
            {"peak_amplitude", f.peakAmplitude},
            {"peak_time_s", f.peakTimeS},
            {"velocity_change", f.velocityChange},
            {"mean", f.mean},
            {"rms", f.rms},
        };
        addMotionSummary(j, motionFigures.get(), motion);
        addWarnings(j, warnings);
        addProcessing(j, conditioned.processing);
        if (trust.pulse) j["pulse"] = pulseJson(view, pulse);
        if (trust.events) j["events"] = eventsJson(events);
        ok &= writeText(o.summary, j.dump(2) + "\n");
    } else if (trust.events) {
        ok &= writeText("-", eventsTable(events));
    }
    if (srsPlan) {
        const std::string input =
            lowerBound ? "the record (clipped: every response is a lower bound)" : "the record";
        ok &= writeSpectrum(o.srs, *srsPlan, view.values, input, motion.unit);
    }
    if (!motion.motion.empty()) ok &= writeMotionTable(motion.motion, motionView, motion.unit);
    return ok ? kExitDone : kExitNotWritten;
}

}  // namespace korvex::cli
