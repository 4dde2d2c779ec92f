#include "cli/analyse_command.h"

#include <nlohmann/json.hpp>

#include <optional>

#include "cli/analyse_channels.h"
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
    const bool several = record.channels.size() > 1;
    const std::vector<std::string> keys = channelKeys(record);
    if (several && !motion.motion.empty()) requireSharedTimeBase(record, keys);
    std::optional<SrsPlan> srsPlan;
    SharedSpectra spectra;
    if (!o.srs.empty() && !several) {
        srsPlan = planSpectrum(o.srsSettings, record.channel().intervalS, a.record.file);
    } else if (!o.srs.empty()) {
        spectra = planSpectra(o.srsSettings, record, a.record.file);
    }

    // Each channel in place: its views point into its own conditioned samples.
    const AnalyseSettings settings{o, conditionSettings, trust};
    std::vector<ChannelResult> results(record.channels.size());
    for (std::size_t i = 0; i < results.size(); ++i) {
        analyseChannel(record, record.channels[i], settings, several ? keys[i] : "", results[i]);
    }

    bool ok = true;
    if (!o.summary.empty()) {
        nlohmann::ordered_json j = results.front().summary;
        if (several) {
            j = nlohmann::ordered_json::object();
            for (std::size_t i = 0; i < results.size(); ++i) j[keys[i]] = results[i].summary;
        }
        ok &= writeText(o.summary, j.dump(2) + "\n");
    } else if (trust.events) {
        std::string tables;
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (several) tables += "# channel " + keys[i] + "\n";
            tables += eventsTable(results[i].events);
        }
        ok &= writeText("-", tables);
    }
    if (srsPlan) {
        const std::string input = results.front().lowerBound
                                      ? "the record (clipped: every response is a lower bound)"
                                      : "the record";
        ok &= writeSpectrum(o.srs, *srsPlan, results.front().view.values, input, motion.unit);
    } else if (!o.srs.empty()) {
        ok &= writeSpectra(o.srs, spectra, results, keys, motion.unit);
    }
    if (!motion.motion.empty()) {
        ok &= several ? writeMotionTables(motion.motion, results, keys, motion.unit)
                      : writeMotionTable(motion.motion, results.front().motionView, motion.unit);
    }
    return ok ? kExitDone : kExitNotWritten;
}

}  // namespace korvex::cli
