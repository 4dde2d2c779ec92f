#include "cli/analyse_channels.h"

#include <algorithm>
#include <future>
#include <iostream>
#include <set>

#include "analysis/motion.h"
#include "analysis/record_figures.h"
#include "analysis/srs_table.h"
#include "cli/output_files.h"
#include "cli/progress.h"
#include "cli/trust_outputs.h"
#include "pulse/number_text.h"

namespace korvex::cli {

void analyseChannel(const Record& record, const Channel& channel, const AnalyseSettings& s,
                    const std::string& label, ChannelResult& out) {
    const ConditionSettings& condition = s.condition;
    const TrustOptions& trust = s.trust;
    out.raw = out.view = out.motionView = channel.view();
    if (condition.offset != OffsetMethod::None || condition.lowPass || condition.highPassHz > 0) {
        out.conditioned = conditionReported(out.raw, condition);
        out.view.values = out.conditioned.values;
        out.motionView.values =
            out.conditioned.motion.empty() ? out.conditioned.values : out.conditioned.motion;
    }
    // The motion on the second core while this one judges the data and
    // takes the figures.
    std::future<MotionFigures> motionFigures;
    const bool summary = !s.outputs.summary.empty();
    if (summary) {
        motionFigures = std::async(std::launch::async, [&out] {
            return computeMotion(out.motionView.values, out.motionView.intervalS);
        });
    }
    // One scan of the record as read serves the pulse (when the record is
    // judged as read) and the clips.
    const SampleScan rawScan = scanSamples(out.raw.values);
    const bool asRead = out.view.values.data() == out.raw.values.data();
    const AchievedPulse pulse = asRead ? measurePulse(out.view, trust.pulseFraction, rawScan)
                                       : measurePulse(out.view, trust.pulseFraction);
    out.warnings =
        dataWarnings(out.raw, condition.highPassHz > 0 ? nullptr : &out.view, pulse, {}, &rawScan);
    printWarnings(out.warnings, label);
    out.lowerBound = peakIsLowerBound(out.warnings);
    if (trust.events) {
        out.events = findEvents(out.view, trust.eventSettings, asRead ? &rawScan : nullptr);
    }
    if (!summary) return;
    const RecordFigures f = computeRecordFigures(out.view);
    nlohmann::ordered_json& j = out.summary;
    j["source"] = record.source;
    j["column"] = channel.name;
    if (!label.empty() && !channel.unit.empty()) j["unit"] = channel.unit;
    j["samples"] = f.samples;
    j["sample_interval_s"] = f.intervalS;
    j["start_time_s"] = f.startS;
    j["record_s"] = f.recordS;
    j["peak_amplitude"] = f.peakAmplitude;
    j["peak_time_s"] = f.peakTimeS;
    j["velocity_change"] = f.velocityChange;
    j["mean"] = f.mean;
    j["rms"] = f.rms;
    addMotionSummary(j, motionFigures.get(), s.outputs.motion);
    addWarnings(j, out.warnings);
    addProcessing(j, out.conditioned.processing);
    if (trust.pulse) j["pulse"] = pulseJson(out.view, pulse);
    if (trust.events) j["events"] = eventsJson(out.events);
}

std::vector<std::string> channelKeys(const Record& record) {
    std::vector<std::string> keys;
    std::set<std::string> taken;
    for (std::size_t i = 0; i < record.channels.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        std::string key = record.channels[i].name.empty() ? number : record.channels[i].name;
        if (taken.count(key) > 0) key += "#" + number;
        taken.insert(key);
        keys.push_back(std::move(key));
    }
    return keys;
}

void requireSharedTimeBase(const Record& record, const std::vector<std::string>& keys) {
    const Channel& first = record.channels.front();
    for (std::size_t i = 1; i < record.channels.size(); ++i) {
        const Channel& c = record.channels[i];
        const bool same = c.size() == first.size() && c.startS == first.startS &&
                          c.intervalS == first.intervalS && c.time.size() == first.time.size() &&
                          std::equal(c.time.begin(), c.time.end(), first.time.begin());
        if (!same) {
            throw UsageError("--motion", "channels " + keys.front() + " and " + keys[i] +
                                             " have different times; choose one with --column");
        }
    }
}

SharedSpectra planSpectra(const SrsSettings& settings, const Record& record,
                          const std::string& sampling) {
    SharedSpectra out;
    double lowestTo = 0;
    for (const Channel& c : record.channels) {
        out.plans.push_back(planSpectrum(settings, c.intervalS, sampling));
        const double to = out.plans.back().toHz;
        lowestTo = out.plans.size() == 1 ? to : std::min(lowestTo, to);
    }
    if (std::any_of(out.plans.begin(), out.plans.end(),
                    [&](const SrsPlan& p) { return p.toHz != lowestTo; })) {
        SrsSettings shared = settings;
        shared.toHz = lowestTo;
        for (std::size_t i = 0; i < out.plans.size(); ++i) {
            out.plans[i] = planSpectrum(shared, record.channels[i].intervalS, sampling);
        }
        out.note = "# the channels' upper limits differ: all end at the lowest, " +
                   humanText(lowestTo) + " Hz\n";
    }
    // Same from, to and count per octave give the same frequencies; a table
    // of rows that disagree would be worse than no table.
    for (const SrsPlan& p : out.plans) {
        if (p.frequencies != out.plans.front().frequencies) {
            throw UsageError("--srs", "the channels' frequencies differ; choose one with --column");
        }
    }
    return out;
}

bool writeSpectra(const std::string& path, const SharedSpectra& spectra,
                  const std::vector<ChannelResult>& results, const std::vector<std::string>& keys,
                  std::optional<AccelerationUnit> unit) {
    const std::vector<SrsPlan>& plans = spectra.plans;
    const std::string& note = spectra.note;
    std::vector<SrsChannel> channels;
    bool lowerBound = false;
    for (std::size_t i = 0; i < results.size(); ++i) {
        SrsProgress progress;
        const Progress shown("shock response spectrum of " + keys[i], progress.done,
                             progress.total);
        channels.push_back({keys[i], computeShockSpectrum(results[i].view.values, plans[i], 0,
                                                          nullptr, &progress)});
        lowerBound |= results[i].lowerBound;
    }
    const std::string input =
        lowerBound ? "each channel (clipped: its responses are lower bounds)" : "each channel";
    return writeText(path, formatSrsTable(plans.front(), channels, input, unit, note));
}

bool writeMotionTables(const std::string& path, const std::vector<ChannelResult>& results,
                       const std::vector<std::string>& keys, std::optional<AccelerationUnit> unit) {
    const MotionScale scale = motionScale(unit);
    const std::size_t n = results.front().motionView.size();
    std::vector<std::vector<double>> velocity(results.size()), displacement(results.size());
    for (std::size_t c = 0; c < results.size(); ++c) {
        velocity[c].resize(n);
        displacement[c].resize(n);
        const RecordView& v = results[c].motionView;
        integrateMotion(v.values, v.intervalS, velocity[c], displacement[c]);
    }
    std::string header = motionTableHeader(unit);
    header.erase(header.rfind("# columns:"));
    header += "# columns: time_s";
    for (const std::string& key : keys) {
        const std::string k = columnName(key);
        header += ' ' + k + "_acceleration " + k + "_velocity " + k + "_displacement";
    }
    return writeOutput(path, [&](OutputSink& sink) {
        std::string text = header + '\n';
        for (std::size_t i = 0; i < n; ++i) {
            text += shortestText(results.front().motionView.timeAt(i));
            for (std::size_t c = 0; c < results.size(); ++c) {
                for (double v : {results[c].motionView.values[i], velocity[c][i] * scale.velocity,
                                 displacement[c][i] * scale.displacement}) {
                    text += ' ';
                    text += shortestText(v);
                }
            }
            text += '\n';
            if (text.size() > (1u << 20) || i + 1 == n) {
                sink.write(text.data(), text.size());
                text.clear();
            }
        }
        if (!text.empty()) sink.write(text.data(), text.size());
    });
}

}  // namespace korvex::cli
