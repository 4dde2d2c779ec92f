#include "cli/analyse_command.h"

#include <nlohmann/json.hpp>

#include <future>
#include <optional>

#include "analysis/motion.h"
#include "analysis/record_figures.h"
#include "cli/output_files.h"

namespace korvex::cli {

void AnalyseArguments::add(CLI::App& app) {
    record.add(app);
    outputs.add(app, "the record");
}

int runAnalyse(const CLI::App& app, const AnalyseArguments& a) {
    const ReadOptions readOptions = a.record.validate(app);
    const RecordOutputs o = validateOutputs(app, a.outputs);
    const MotionOptions& motion = o.motion;
    if (o.summary.empty() && o.srs.empty() && motion.motion.empty()) {
        throw UsageError::required("--summary, --srs or --motion");
    }
    requireDistinctOutputs({{"FILE", a.record.file == "-" ? "" : a.record.file},
                            {"--summary", o.summary},
                            {"--srs", o.srs},
                            {"--motion", motion.motion}});

    Record record;
    int status = kExitDone;
    if (!readRecordReported(a.record.file, readOptions, record, status)) return status;
    const Channel& channel = record.channel();
    const RecordView view = channel.view();
    std::optional<SrsPlan> srsPlan;
    if (!o.srs.empty()) srsPlan = planSpectrum(o.srsSettings, channel.intervalS, a.record.file);

    bool ok = true;
    if (!o.summary.empty()) {
        // The motion on the second core while this one takes the figures.
        std::future<MotionFigures> motionFigures = std::async(
            std::launch::async, [&view] { return computeMotion(view.values, view.intervalS); });
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
        ok &= writeText(o.summary, j.dump(2) + "\n");
    }
    if (srsPlan) ok &= writeSpectrum(o.srs, *srsPlan, view.values, "the record", motion.unit);
    if (!motion.motion.empty()) ok &= writeMotionTable(motion.motion, view, motion.unit);
    return ok ? kExitDone : kExitNotWritten;
}

}  // namespace korvex::cli
