// korvex-cli: the dialog's calculation for scripts, with the same file bytes.
#include <CLI/CLI.hpp>

#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "pulse/file_sink.h"
#include "pulse/number_text.h"
#include "pulse/pulse_series.h"
#include "pulse/time_history.h"
#include "ui/calculate_command.h"

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitNotWritten = 1;
constexpr int kExitUsage = 2;

struct NumberOption {
    const char* name;
    const char* help;
    std::string text;
    double* target;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace korvex;

    PulseParameters params;
    std::string output;

    CLI::App app{
        "Writes the time history of one shock pulse as two columns, time (s) and amplitude.",
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
    app.add_option("--output", output, "File to write, or - for standard output")
        ->required()
        ->option_text("FILE");

    try {
        app.parse(argc, argv);
        params.pulseType = shapes.at(shape);
        params.timeUnit = units.at(unit);
        for (NumberOption& n : numbers) {
            const std::optional<double> value = parseStrictNumber(n.text);
            if (!value) {
                throw CLI::ValidationError(n.name,
                                           "'" + n.text + "' is not a finite decimal number");
            }
            *n.target = *value;
        }
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "korvex-cli: " << e.what() << "\nRun with --help for more information.\n";
        return kExitUsage;
    }

    if (computePulseSeries(params) < 2) {
        std::cerr << "korvex-cli: " << kTooFewSamplesWarning << '\n';
        return kExitNotWritten;
    }
    try {
        std::unique_ptr<FileSink> sink =
            output == "-" ? FileSink::standardOutput() : std::make_unique<FileSink>(output);
        writeTimeHistory(*sink, pulseSeries);
        sink->close();
    } catch (const FileError& e) {
        std::cerr << "korvex-cli: cannot write " << e.path() << ": " << e.reason() << '\n';
        return kExitNotWritten;
    }
    if (const auto covered = cutCoverageSeconds(params)) {
        std::cerr << "korvex-cli: " << cutNote(*covered) << '\n';
    }
    return kExitWritten;
}
