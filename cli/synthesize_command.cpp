#include "cli/synthesize_command.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <iostream>
#include <string_view>

#include "analysis/srs_table.h"
#include "analysis/synthesis/drive_file.h"
#include "analysis/synthesis/synthesis.h"
#include "cli/output_files.h"
#include "cli/target_arguments.h"
#include "pulse/number_text.h"

namespace korvex::cli {
namespace {

struct SynthesizeOptions {
    SynthesisSettings settings;
    std::string format, output, summary, srs;
    MotionOptions motion;
};

// A whole number from `low` to `high`, for the seed and the counts.
double wholeOption(const std::string& name, const std::string& text, double low, double high) {
    const double value = numberOption(name, text);
    if (!(value >= low && value <= high && value == std::floor(value))) {
        throw UsageError(name, "must be a whole number from " + humanText(low) + " to " +
                                   humanText(high) + ", got " + text);
    }
    return value;
}

const char* optionOf(SynthesisInput input) {
    switch (input) {
        case SynthesisInput::Target:
            return "--target";
        case SynthesisInput::SampleRate:
            return "--sample-rate";
        case SynthesisInput::Duration:
            return "--duration";
        case SynthesisInput::Q:
            return "--q";
        case SynthesisInput::PerOctave:
            return "--per-octave";
        case SynthesisInput::MaxIterations:
            return "--max-iterations";
        case SynthesisInput::Attempts:
            return "--attempts";
    }
    return "--target";
}

SynthesizeOptions validate(const CLI::App& app, const SynthesizeArguments& a) {
    SynthesizeOptions o;
    for (const char* name : {"--target", "--sample-rate", "--duration"}) {
        if (app.count(name) == 0) throw UsageError::required(name);
    }
    SynthesisSettings& s = o.settings;
    s.sampleRateHz = numberOption("--sample-rate", a.sampleRate);
    s.durationS = numberOption("--duration", a.duration);
    if (app.count("--q") > 0) s.q = numberOption("--q", a.q);
    if (app.count("--per-octave") > 0) {
        s.perOctave = static_cast<int>(wholeOption("--per-octave", a.perOctave, 1, 48));
    }
    if (app.count("--seed") > 0) {
        s.seed = static_cast<std::uint64_t>(wholeOption("--seed", a.seed, 0, 0x1p53));
    }
    if (app.count("--max-iterations") > 0) {
        s.maxIterations =
            static_cast<int>(wholeOption("--max-iterations", a.maxIterations, 1, 1e5));
    }
    if (app.count("--attempts") > 0) {
        s.attempts = static_cast<int>(wholeOption("--attempts", a.attempts, 1, 1000));
    }
    if (app.count("--tolerance") > 0) {
        try {
            s.tolerance = parseTolerance(a.tolerance);
        } catch (const TargetError& e) {
            throw UsageError("--tolerance", e.what());
        }
    }
    o.format = a.format;
    o.output = a.output;
    o.summary = a.summary;
    o.srs = a.srs;
    o.motion = validateMotion(app, a.motion);
    if (o.output.empty() && o.summary.empty() && o.srs.empty() && o.motion.motion.empty()) {
        throw UsageError::required("--output, --summary, --srs or --motion");
    }
    requireDistinctOutputs({{"--output", o.output},
                            {"--summary", o.summary},
                            {"--srs", o.srs},
                            {"--motion", o.motion.motion}});
    return o;
}

std::string summaryJson(const SynthesizeOptions& o, const SynthesisResult& r) {
    const SynthesisSettings& s = o.settings;
    nlohmann::ordered_json breakpoints = nlohmann::ordered_json::array();
    for (const TargetBreakpoint& p : s.target.points)
        breakpoints.push_back({p.frequencyHz, p.level});
    nlohmann::ordered_json frequencies = nlohmann::ordered_json::array();
    for (std::size_t k = 0; k < r.check.points.size(); ++k) {
        const TargetPointCheck& p = r.check.points[k];
        const Wavelet& w = r.wavelets[k];
        frequencies.push_back({{"frequency_hz", p.frequencyHz},
                               {"target", p.target},
                               {"achieved", p.achieved},
                               {"error_db", p.errorDb},
                               {"half_cycles", w.halfCycles},
                               {"delay_s", static_cast<double>(w.delay) * r.intervalS},
                               {"amplitude", w.amplitude}});
    }
    std::size_t peakAt = 0;
    for (std::size_t i = 0; i < r.drive.size(); ++i) {
        if (std::fabs(r.drive[i]) > std::fabs(r.drive[peakAt])) peakAt = i;
    }
    // NaN and infinities come out as null.
    nlohmann::ordered_json j = {
        {"target", breakpoints},
        {"q", s.q},
        {"per_octave", s.perOctave},
        {"tolerance_low_db", -s.tolerance.lowDb},
        {"tolerance_high_db", s.tolerance.highDb},
        {"sample_rate", s.sampleRateHz},
        {"samples", r.drive.size()},
        {"sample_interval_s", r.intervalS},
        {"seed", s.seed},
        {"attempt", r.attempt},
        {"iterations", r.iterations},
        {"converged", r.converged},
        {"worst_low_db", r.check.worstLowDb},
        {"worst_high_db", r.check.worstHighDb},
        {"worst_frequency_hz", r.check.worstFrequencyHz},
        {"worst_margin_db", r.check.worstMarginDb},
        {"peak_acceleration", r.drive.empty() ? 0.0 : r.drive[peakAt]},
        {"peak_time_s", static_cast<double>(peakAt) * r.intervalS},
        {"final_acceleration", r.drive.empty() ? 0.0 : r.drive.back()},
    };
    addMotionSummary(j, computeMotion(r.drive, r.intervalS), o.motion);
    j["frequencies"] = frequencies;
    return j.dump(2) + "\n";
}

}  // namespace

void SynthesizeArguments::add(CLI::App& app) {
    app.add_option("--target", target,
                   "Required maximax acceleration spectrum: a file of lines 'frequency_hz level', "
                   "or FREQUENCY:LEVEL,... (log-log between breakpoints)")
        ->type_name("FILE|LIST")
        ->option_text("FILE|LIST");
    addNumberOption(app, "--q", q, "Quality factor Q of the spectrum (default 10)");
    addNumberOption(app, "--per-octave", perOctave,
                    "Wavelets and spectrum frequencies per octave, 1 to 48 (default 12)");
    app.add_option("--tolerance", tolerance,
                   "Band around the target, dB below and above as LOW,HIGH (default 1,1)")
        ->type_name("LOW,HIGH")
        ->option_text("LOW,HIGH");
    addNumberOption(app, "--sample-rate", sampleRate, "Samples per second of the drive");
    addNumberOption(app, "--duration", duration, "Length of the drive, s");
    addNumberOption(app, "--seed", seed, "Seed of the wavelets' delays and signs (default 1)");
    addNumberOption(app, "--max-iterations", maxIterations,
                    "Spectra computed at most per attempt (default 60)");
    addNumberOption(app, "--attempts", attempts,
                    "Layouts of the wavelets tried, each from its own seed (default 8)");
    addChoiceOption(app, "--format", format, {"time-history", "csv"},
                    "Format of --output (default time-history; csv keeps every digit)");
    addOutputOption(app, "--output", output, "The drive, to FILE or -");
    addOutputOption(app, "--summary", summary,
                    "Errors, iterations and motion as JSON, to FILE or -");
    addOutputOption(app, "--srs", srs, "The drive's spectrum as a text table, to FILE or -");
    motion.add(app);
}

int runSynthesize(const CLI::App& app, const SynthesizeArguments& a) {
    SynthesizeOptions o = validate(app, a);
    if (!readTarget(a.target, o.settings.target)) return kExitNotWritten;
    SynthesisResult r;
    try {
        r = synthesizeDrive(o.settings);
    } catch (const SynthesisError& e) {
        throw UsageError(optionOf(e.input()), e.what());
    }
    const RecordView view{{}, r.drive, 0.0, r.intervalS};
    bool ok = true;
    if (!o.output.empty()) {
        ok &= writeOutput(o.output, [&](OutputSink& sink) {
            writeDrive(sink, r.drive, r.intervalS,
                       o.format == "csv" ? DriveFormat::Csv : DriveFormat::TimeHistory);
        });
    }
    if (!o.summary.empty()) {
        ok &= writeText(o.summary, summaryJson(o, r));
    } else if (o.motion.unit) {
        // The shaker limits are warned of even without a summary to hold them.
        nlohmann::ordered_json unused;
        addMotionSummary(unused, computeMotion(r.drive, r.intervalS), o.motion);
    }
    if (!o.srs.empty()) {
        ok &= writeText(o.srs,
                        formatSrsTable(r.plan, r.spectrum, "the synthesised drive", o.motion.unit));
    }
    if (!o.motion.motion.empty()) ok &= writeMotionTable(o.motion.motion, view, o.motion.unit);
    if (!ok) return kExitNotWritten;
    if (!r.converged) {
        std::cerr << "korvex-cli: warning: after " << o.settings.attempts << " attempts of "
                  << o.settings.maxIterations
                  << " iterations the best drive's spectrum is still outside the band: "
                  << humanText(r.check.worstMarginDb, 3) << " dB at "
                  << humanText(r.check.worstFrequencyHz, 5)
                  << " Hz (try another --seed, more --attempts or a longer --duration)\n";
        return kExitCheckFailed;
    }
    return kExitDone;
}

}  // namespace korvex::cli
