#include "cli/generate_command.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <optional>
#include <span>

#include "analysis/motion.h"
#include "analysis/pulse_figures.h"
#include "analysis/srs.h"
#include "cli/output_files.h"
#include "pulse/compensation.h"
#include "pulse/input_notes.h"
#include "pulse/pre_time.h"
#include "pulse/pulse_messages.h"
#include "pulse/pulse_series.h"
#include "pulse/time_history.h"

namespace korvex::cli {
namespace {

// The pulse, checked, with the names the summary repeats.
struct GenerateOptions {
    PulseParameters params;
    std::string shape, unit;
    std::optional<double> compensation;
    int preSamples = 0;  // zeros before the pulse
    std::string output;
    RecordOutputs outputs;
};

GenerateOptions validate(const CLI::App& app, const GenerateArguments& a) {
    GenerateOptions o;
    o.shape = a.shape;
    o.unit = a.unit;
    o.params.pulseType =
        a.shape == "terminal-sawtooth" ? PulseType::TerminalSawtooth : PulseType::HalfSine;
    o.params.timeUnit = a.unit == "s" ? TimeUnit::Seconds : TimeUnit::Milliseconds;
    const std::pair<const char*, const std::string*> required[] = {
        {"--amplitude", &a.amplitude},
        {"--pulse-duration", &a.pulseDuration},
        {"--total-duration", &a.totalDuration},
        {"--sample-rate", &a.sampleRate}};
    for (const auto& [name, text] : required) {
        if (app.count(name) == 0) throw UsageError::required(name);
    }
    o.params.amplitude = numberOption("--amplitude", a.amplitude);
    o.params.pulseDuration = numberOption("--pulse-duration", a.pulseDuration);
    o.params.totalDuration = numberOption("--total-duration", a.totalDuration);
    o.params.sampleRate = numberOption("--sample-rate", a.sampleRate);
    if (app.count("--compensation") > 0) {
        const double p = numberOption("--compensation", a.compensation);
        if (!(p > 0 && p <= 1)) {
            throw UsageError(
                "--compensation",
                "the ratio must be greater than 0 and at most 1, got " + a.compensation);
        }
        o.compensation = p;
    }
    if (app.count("--pre-time") > 0) {
        std::string why;
        const std::optional<int> pre =
            preTimeSamples(o.params, numberOption("--pre-time", a.preTime), &why);
        if (!pre) throw UsageError("--pre-time", why);
        o.preSamples = *pre;
    }
    o.outputs = validateOutputs(app, a.outputs);
    o.output = a.output;
    if (o.output.empty() && o.outputs.summary.empty() && o.outputs.srs.empty() &&
        o.outputs.motion.motion.empty()) {
        throw UsageError::required("--output, --summary, --srs or --motion");
    }
    return o;
}

const char* compensationOption(CompensationInput input) {
    switch (input) {
        case CompensationInput::Ratio:
            return "--compensation";
        case CompensationInput::Amplitude:
            return "--amplitude";
        case CompensationInput::PulseDuration:
            return "--pulse-duration";
        case CompensationInput::SampleRate:
            return "--sample-rate";
        case CompensationInput::PulseType:
            return "--shape";
    }
    return "--compensation";
}

std::string summaryJson(const PulseFigures& f, const GenerateOptions& o,
                        const std::optional<CompensationPlan>& compensation,
                        const RecordView& record) {
    const PulseParameters& p = o.params;
    // NaN and infinities come out as null.
    nlohmann::ordered_json j = {
        {"shape", o.shape},
        {"unit", o.unit},
        {"amplitude", p.amplitude},
        {"pulse_duration", p.pulseDuration},
        {"total_duration", p.totalDuration},
        {"sample_rate", p.sampleRate},
        {"samples", f.samples},
        {"sample_interval_s", f.sampleInterval},
        {"record_s", f.record},
        {"cut", f.cut},
        {"peak_amplitude", f.peakAmplitude},
        {"peak_time_s", f.peakTime},
        {"velocity_change", f.velocityChange},
        {"velocity_change_ideal", f.velocityChangeIdeal},
    };
    if (compensation) {
        const double toSeconds = p.timeUnit == TimeUnit::Milliseconds ? 0.001 : 1.0;
        j["compensation"] = {
            {"ratio", compensation->ratio},
            {"pre_pulse_s", compensation->preDuration * toSeconds},
            {"post_pulse_s", compensation->postDuration * toSeconds},
            {"pre_peak", compensation->prePeak},
            {"post_peak", compensation->postPeak},
            {"main_pulse_start_s",
             record.timeAt(static_cast<std::size_t>(std::min<std::int64_t>(
                 compensation->mainStart + o.preSamples, f.samples > 0 ? f.samples - 1 : 0)))},
            {"ends_at_rest", compensation->endsAtRest},
        };
    }
    if (o.preSamples > 0) j["pre_time_s"] = record.timeAt(static_cast<std::size_t>(o.preSamples));
    addMotionSummary(j, computeMotion(record.values, record.intervalS), o.outputs.motion);
    return j.dump(2) + "\n";
}

}  // namespace

void GenerateArguments::add(CLI::App& app) {
    addChoiceOption(app, "--shape", shape, {"half-sine", "terminal-sawtooth"},
                    "Pulse shape (default half-sine)");
    addChoiceOption(app, "--unit", unit, {"ms", "s"},
                    "Unit of the durations and of the rate's 'per' (default ms)");
    addNumberOption(app, "--amplitude", amplitude, "Peak value, in your own units");
    addNumberOption(app, "--pulse-duration", pulseDuration, "Pulse length, in the unit");
    addNumberOption(app, "--total-duration", totalDuration, "Record length, in the unit");
    addNumberOption(app, "--sample-rate", sampleRate, "Samples per unit (per ms with --unit ms)");
    addNumberOption(app, "--compensation", compensation,
                    "Shaker compensation: half-sines of ratio P (0 < P <= 1) of the peak before "
                    "and after, to end at rest and in place");
    addNumberOption(app, "--pre-time", preTime,
                    "Zeros before the pulse (or its compensation's pre-pulse), in the unit, as a "
                    "recorder's pre-trigger keeps (default 0)");
    addOutputOption(app, "--output", output,
                    "Time-history file to write, or - for standard output");
    outputs.add(app, "the pulse");
}

int runGenerate(const CLI::App& app, const GenerateArguments& arguments) {
    const GenerateOptions o = validate(app, arguments);
    const PulseParameters& params = o.params;
    if (planSamples(params).count < 2) {
        std::cerr << "korvex-cli: " << kTooFewSamplesWarning << '\n';
        return kExitNotWritten;
    }
    std::optional<CompensationPlan> compensation;
    if (o.compensation) {
        try {
            compensation = planCompensation(params, *o.compensation);
        } catch (const CompensationError& e) {
            throw UsageError(compensationOption(e.input()), e.what());
        }
    }
    const double interval = sampleIntervalSeconds(params);
    std::optional<SrsPlan> srsPlan;
    if (!o.outputs.srs.empty())
        srsPlan = planSpectrum(o.outputs.srsSettings, interval, "--sample-rate");
    requireDistinctOutputs({{"--output", o.output},
                            {"--summary", o.outputs.summary},
                            {"--srs", o.outputs.srs},
                            {"--motion", o.outputs.motion.motion}});

    // The time history is computed as it is written; the figures, the
    // spectrum and the motion need the whole series at once.
    const SamplePlan samplePlan =
        compensation ? SamplePlan{compensation->dt, compensation->count, compensation->cut}
                     : planSamples(params);
    const bool whole =
        !o.outputs.summary.empty() || !o.outputs.srs.empty() || !o.outputs.motion.motion.empty();
    if (whole) {
        if (compensation) {
            computeCompensatedSeries(params, *compensation, pulseSeries);
        } else {
            computePulseSeries(params);
        }
        padSeries(pulseSeries, o.preSamples, samplePlan, params.timeUnit);
    }
    const auto count = static_cast<std::size_t>(std::max(0, pulseSeries.count));
    const RecordView record{std::span<const double>(pulseSeries.time.data(), count),
                            std::span<const double>(pulseSeries.amplitude.data(), count), 0.0,
                            interval};

    bool ok = true;
    if (!o.output.empty()) {
        ok &= writeOutput(o.output, [&](OutputSink& sink) {
            if (!compensation && o.preSamples == 0) return writePulseTimeHistory(sink, params);
            const SampleSource inner = [&](int first, int end, double* t, double* a) {
                if (compensation) {
                    computeCompensatedSamples(params, *compensation, first, end, t, a);
                } else {
                    computePulseSamples(params, samplePlan, first, end, t, a);
                }
            };
            writeSampledTimeHistory(sink, paddedCount(o.preSamples, samplePlan.count),
                                    [&](int first, int end, double* t, double* a) {
                                        paddedSamples(inner, o.preSamples, samplePlan,
                                                      params.timeUnit, first, end, t, a);
                                    });
        });
    }
    if (!o.outputs.summary.empty()) {
        PulseFigures figures = computePulseFigures(pulseSeries, params);
        if (compensation) figures.cut = compensation->cut;
        ok &= writeText(o.outputs.summary, summaryJson(figures, o, compensation, record));
    }
    if (srsPlan) {
        ok &= writeSpectrum(o.outputs.srs, *srsPlan, record.values, "the pulse record",
                            o.outputs.motion.unit);
    }
    if (!o.outputs.motion.motion.empty()) {
        ok &= writeMotionTable(o.outputs.motion.motion, record, o.outputs.motion.unit);
    }
    const bool cut = compensation ? compensation->cut : planSamples(params).cut;
    if (const auto covered = cutCoverageSeconds(params); covered && !compensation) {
        std::cerr << "korvex-cli: " << cutNote(*covered) << '\n';
    } else if (cut) {
        std::cerr << "korvex-cli: " << cutNote(kMaxSamples * interval) << '\n';
    }
    for (const std::string& note : inputNotes(nullptr, params)) {
        std::cerr << "korvex-cli: note: " << note << '\n';
    }
    return ok ? kExitDone : kExitNotWritten;
}

}  // namespace korvex::cli
