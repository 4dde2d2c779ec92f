#include "cli/generate_command.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <optional>
#include <span>

#include "analysis/pulse_figures.h"
#include "analysis/srs.h"
#include "analysis/srs_table.h"
#include "cli/output_files.h"
#include "cli/progress.h"
#include "pulse/input_notes.h"
#include "pulse/pulse_messages.h"
#include "pulse/pulse_series.h"
#include "pulse/time_history.h"

namespace korvex::cli {
namespace {

// The pulse, checked, with the names the summary repeats.
struct GenerateOptions {
    PulseParameters params;
    std::string shape, unit;
    std::string output, summary, srs;
    SrsSettings srsSettings;
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
    o.srsSettings = a.srsOptions.settings(app);
    o.output = a.output;
    o.summary = a.summary;
    o.srs = a.srs;
    if (o.output.empty() && o.summary.empty() && o.srs.empty()) {
        throw UsageError::required("--output, --summary or --srs");
    }
    return o;
}

std::string summaryJson(const PulseFigures& f, const GenerateOptions& o) {
    const PulseParameters& p = o.params;
    // NaN and infinities come out as null.
    const nlohmann::ordered_json j = {
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
    addOutputOption(app, "--output", output,
                    "Time-history file to write, or - for standard output");
    addOutputOption(app, "--summary", summary, "Figures of the pulse as JSON, to FILE or -");
    CLI::Option* srsOption =
        addOutputOption(app, "--srs", srs, "Shock response spectrum as a text table, to FILE or -");
    srsOptions.add(app, srsOption);
}

int runGenerate(const CLI::App& app, const GenerateArguments& arguments) {
    const GenerateOptions o = validate(app, arguments);
    const PulseParameters& params = o.params;
    if (planSamples(params).count < 2) {
        std::cerr << "korvex-cli: " << kTooFewSamplesWarning << '\n';
        return kExitNotWritten;
    }
    std::optional<SrsPlan> srsPlan;
    if (!o.srs.empty()) {
        try {
            srsPlan = planShockSpectrum(o.srsSettings, sampleIntervalSeconds(params));
        } catch (const SrsSettingError& e) {
            throw UsageError(SrsOptions::optionOf(e.setting(), "--sample-rate"), e.what());
        }
    }
    requireDistinctOutputs({{"--output", o.output}, {"--summary", o.summary}, {"--srs", o.srs}});
    // The time history is computed as it is written; only the figures and
    // the spectrum need the whole series at once.
    if (!o.summary.empty() || !o.srs.empty()) computePulseSeries(params);

    bool ok = true;
    if (!o.output.empty()) {
        ok &= writeOutput(o.output,
                          [&params](OutputSink& sink) { writePulseTimeHistory(sink, params); });
    }
    if (!o.summary.empty()) {
        ok &= writeText(o.summary, summaryJson(computePulseFigures(pulseSeries, params), o));
    }
    if (srsPlan) {
        const std::span<const double> samples(pulseSeries.amplitude.data(),
                                              static_cast<std::size_t>(pulseSeries.count));
        SrsProgress progress;
        std::vector<SrsPoint> points;
        {
            const Progress shown("shock response spectrum", progress.done, progress.total);
            points = computeShockSpectrum(samples, *srsPlan, 0, nullptr, &progress);
        }
        ok &= writeText(o.srs, formatSrsTable(*srsPlan, points));
    }
    if (const auto covered = cutCoverageSeconds(params)) {
        std::cerr << "korvex-cli: " << cutNote(*covered) << '\n';
    }
    for (const std::string& note : inputNotes(nullptr, params)) {
        std::cerr << "korvex-cli: note: " << note << '\n';
    }
    return ok ? kExitDone : kExitNotWritten;
}

}  // namespace korvex::cli
