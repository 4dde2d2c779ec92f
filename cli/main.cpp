// korvex-cli: the dialog's calculation for scripts, with the same file bytes,
// and the pulse's figures and shock response spectrum besides.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <charconv>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "analysis/pulse_figures.h"
#include "analysis/srs.h"
#include "pulse/file_sink.h"
#include "pulse/number_text.h"
#include "pulse/pulse_messages.h"
#include "pulse/pulse_series.h"
#include "pulse/time_history.h"

namespace {

using namespace korvex;

constexpr int kExitWritten = 0;
constexpr int kExitNotWritten = 1;
constexpr int kExitUsage = 2;

struct NumberOption {
    const char* name;
    const char* help;
    std::string text;
    double* target;
};

// Shortest text that reads back as the same double.
std::string shortest(double x) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, res.ptr);
}

std::string summaryJson(const PulseFigures& f, const PulseParameters& p, const std::string& shape,
                        const std::string& unit) {
    // NaN and infinities come out as null.
    const nlohmann::ordered_json j = {
        {"shape", shape},
        {"unit", unit},
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

std::string srsTable(const SrsPlan& plan, const std::vector<SrsPoint>& points) {
    std::string out =
        "# shock response spectrum: peak absolute acceleration of single-degree-of-freedom\n"
        "# systems from rest, with the pulse record as base input\n"
        "# Q " +
        shortest(plan.q) + " (damping ratio " + shortest(1 / (2 * plan.q)) + "), " +
        std::to_string(plan.perOctave) + " per octave, " + shortest(plan.fromHz) + " Hz to " +
        shortest(plan.toHz) + " Hz\n" +
        "# units: frequency in Hz; peaks in the amplitude's units\n"
        "# columns: frequency_hz positive negative maximax\n";
    for (const SrsPoint& p : points) {
        out += shortest(p.frequencyHz) + ' ' + shortest(p.positive) + ' ' + shortest(p.negative) +
               ' ' + shortest(p.maximax) + '\n';
    }
    return out;
}

// Writes one output; a failure is reported and returns false.
bool writeOutput(const std::string& target, const std::function<void(OutputSink&)>& fill) {
    try {
        std::unique_ptr<FileSink> sink =
            target == "-" ? FileSink::standardOutput() : std::make_unique<FileSink>(target);
        fill(*sink);
        sink->close();
        return true;
    } catch (const FileError& e) {
        std::cerr << "korvex-cli: cannot write " << e.path() << ": " << e.reason() << '\n';
        return false;
    }
}

void writeText(OutputSink& sink, const std::string& text) {
    sink.write(text.data(), text.size());
}

}  // namespace

int main(int argc, char** argv) {
    PulseParameters params;
    std::string output, summary, srs;

    CLI::App app{
        "Writes the time history of one shock pulse as two columns, time (s) and amplitude;\n"
        "reports its figures and its shock response spectrum.",
        "korvex-cli"};
    app.set_version_flag("--version", "korvex " KORVEX_VERSION);
    app.get_formatter()->column_width(30);
    // The last of a repeated option wins, so a script can override a default.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    const std::map<std::string, PulseType> shapes{
        {"half-sine", PulseType::HalfSine}, {"terminal-sawtooth", PulseType::TerminalSawtooth}};
    const std::map<std::string, TimeUnit> units{{"ms", TimeUnit::Milliseconds},
                                                {"s", TimeUnit::Seconds}};
    std::string shape = "half-sine";
    std::string unit = "ms";
    app.add_option("--shape", shape, "Pulse shape (default half-sine)")
        ->check(CLI::IsMember(shapes))
        ->option_text("half-sine|terminal-sawtooth");
    app.add_option("--unit", unit, "Unit of the durations and of the rate's 'per' (default ms)")
        ->check(CLI::IsMember(units))
        ->option_text("ms|s");

    NumberOption numbers[] = {
        {"--amplitude", "Peak value, in your own units", {}, &params.amplitude},
        {"--pulse-duration", "Pulse length, in the unit", {}, &params.pulseDuration},
        {"--total-duration", "Record length, in the unit", {}, &params.totalDuration},
        {"--sample-rate", "Samples per unit (per ms with --unit ms)", {}, &params.sampleRate},
    };
    for (NumberOption& n : numbers) {
        app.add_option(n.name, n.text, n.help)->required()->option_text("NUMBER");
    }
    app.add_option("--output", output, "Time-history file to write, or - for standard output")
        ->option_text("FILE");
    app.add_option("--summary", summary, "Figures of the pulse as JSON, to FILE or -")
        ->option_text("FILE");
    CLI::Option* srsOption =
        app.add_option("--srs", srs, "Shock response spectrum as a text table, to FILE or -")
            ->option_text("FILE");

    SrsSettings srsSettings;
    struct SrsOption {
        const char* name;
        const char* help;
        SrsSetting setting;
        std::string text;
    } srsOptions[] = {
        {"--srs-q", "Quality factor Q (default 10)", SrsSetting::Q, {}},
        {"--srs-from", "Lowest natural frequency, Hz (default 10)", SrsSetting::From, {}},
        {"--srs-to",
         "Highest natural frequency, Hz (default a tenth of the sample rate)",
         SrsSetting::To,
         {}},
        {"--srs-per-octave",
         "Frequencies per octave, 1 to 48 (default 12)",
         SrsSetting::PerOctave,
         {}},
    };
    for (SrsOption& o : srsOptions) {
        app.add_option(o.name, o.text, o.help)->needs(srsOption)->option_text("NUMBER");
    }

    try {
        app.parse(argc, argv);
        params.pulseType = shapes.at(shape);
        params.timeUnit = units.at(unit);
        // Plain finite decimals only, whatever the option.
        auto number = [](const char* name, const std::string& text) {
            const std::optional<double> value = parseStrictNumber(text);
            if (!value) {
                throw CLI::ValidationError(name, "'" + text + "' is not a finite decimal number");
            }
            return *value;
        };
        for (NumberOption& n : numbers) *n.target = number(n.name, n.text);
        for (SrsOption& o : srsOptions) {
            if (app.count(o.name) == 0) continue;
            const double value = number(o.name, o.text);
            switch (o.setting) {
                case SrsSetting::Q:
                    srsSettings.q = value;
                    break;
                case SrsSetting::From:
                    srsSettings.fromHz = value;
                    break;
                case SrsSetting::To:
                    srsSettings.toHz = value;
                    break;
                case SrsSetting::PerOctave:
                    srsSettings.perOctave = value;
                    break;
            }
        }
        const int targets = !output.empty() + !summary.empty() + !srs.empty();
        if (targets == 0) {
            throw CLI::RequiredError("--output, --summary or --srs");
        }
        if ((output == "-") + (summary == "-") + (srs == "-") > 1) {
            throw CLI::ValidationError(
                "standard output (-) can take only one of --output, "
                "--summary and --srs");
        }
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "korvex-cli: " << e.what() << "\nRun with --help for more information.\n";
        return kExitUsage;
    }

    if (planSamples(params).count < 2) {
        std::cerr << "korvex-cli: " << kTooFewSamplesWarning << '\n';
        return kExitNotWritten;
    }
    // The time history is computed as it is written; only the figures and
    // the spectrum need the whole series at once.
    if (!summary.empty() || !srs.empty()) computePulseSeries(params);
    std::optional<SrsPlan> srsPlan;
    if (!srs.empty()) {
        try {
            srsPlan = planShockSpectrum(srsSettings, sampleIntervalSeconds(params));
        } catch (const SrsSettingError& e) {
            const char* name = "--srs";
            for (const SrsOption& o : srsOptions) {
                if (o.setting == e.setting()) name = o.name;
            }
            std::cerr << "korvex-cli: " << name << ": " << e.what()
                      << "\nRun with --help for more information.\n";
            return kExitUsage;
        }
    }

    bool ok = true;
    if (!output.empty()) {
        ok &= writeOutput(output,
                          [&params](OutputSink& sink) { writePulseTimeHistory(sink, params); });
    }
    if (!summary.empty()) {
        const std::string text =
            summaryJson(computePulseFigures(pulseSeries, params), params, shape, unit);
        ok &= writeOutput(summary, [&](OutputSink& sink) { writeText(sink, text); });
    }
    if (srsPlan) {
        const std::span<const double> samples(pulseSeries.amplitude.data(),
                                              static_cast<std::size_t>(pulseSeries.count));
        const std::string text = srsTable(*srsPlan, computeShockSpectrum(samples, *srsPlan));
        ok &= writeOutput(srs, [&](OutputSink& sink) { writeText(sink, text); });
    }
    if (const auto covered = cutCoverageSeconds(params)) {
        std::cerr << "korvex-cli: " << cutNote(*covered) << '\n';
    }
    return ok ? kExitWritten : kExitNotWritten;
}
