#include "cli/check_command.h"

#include <iostream>

#include "analysis/check_json.h"
#include "analysis/tolerance_check.h"
#include "cli/output_files.h"
#include "cli/progress.h"
#include "cli/record_outputs.h"
#include "pulse/number_text.h"

namespace korvex::cli {
namespace {

struct Setting {
    const char* name;
    const char* help;
    std::string CheckArguments::*text;
    double CheckSettings::*value;
};

// Every tolerance, with the field the check names when it refuses one.
const Setting kSettings[] = {
    {"--band", "Band half-width B, a fraction of |A| (default 0.2)", &CheckArguments::band,
     &CheckSettings::band},
    {"--time-tolerance", "Time tolerance F, a fraction of the pulse duration (default 0.1)",
     &CheckArguments::timeTolerance, &CheckSettings::timeTolerance},
    {"--window-before", "Band checked from W1 pulse durations before the pulse (default 0.4)",
     &CheckArguments::windowBefore, &CheckSettings::windowBefore},
    {"--window-after", "... to W2 pulse durations after its end (default 1.5)",
     &CheckArguments::windowAfter, &CheckSettings::windowAfter},
    {"--velocity-tolerance",
     "Velocity change tolerance V, a fraction of the nominal (default 0.15)",
     &CheckArguments::velocityTolerance, &CheckSettings::velocityTolerance},
    {"--velocity-window-before", "Velocity change from V1 pulse durations before (default 0.4)",
     &CheckArguments::velocityBefore, &CheckSettings::velocityBefore},
    {"--velocity-window-after", "... to V2 pulse durations after the end (default 0.1)",
     &CheckArguments::velocityAfter, &CheckSettings::velocityAfter},
};

std::string optionOf(CheckField field, const std::string& file) {
    switch (field) {
        case CheckField::Record:
            return file;
        case CheckField::Shape:
            return "--shape";
        case CheckField::Amplitude:
            return "--amplitude";
        case CheckField::Duration:
            return "--pulse-duration";
        case CheckField::Band:
            return "--band";
        case CheckField::TimeTolerance:
            return "--time-tolerance";
        case CheckField::WindowBefore:
            return "--window-before";
        case CheckField::WindowAfter:
            return "--window-after";
        case CheckField::VelocityTolerance:
            return "--velocity-tolerance";
        case CheckField::VelocityBefore:
            return "--velocity-window-before";
        case CheckField::VelocityAfter:
            return "--velocity-window-after";
        case CheckField::Spectrum:
            return "--srs-tolerance";
    }
    return file;
}

// "LOW,HIGH" in dB.
SpectrumTolerance spectrumTolerance(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) {
        throw UsageError("--srs-tolerance",
                         quotedText(text) + " is not LOW,HIGH in dB (for example -1.5,3)");
    }
    SpectrumTolerance t;
    t.lowDb = numberOption("--srs-tolerance", text.substr(0, comma));
    t.highDb = numberOption("--srs-tolerance", text.substr(comma + 1));
    if (!(t.lowDb <= t.highDb)) {
        throw UsageError("--srs-tolerance", "LOW must not be above HIGH, got " + quotedText(text));
    }
    return t;
}

}  // namespace

void CheckArguments::add(CLI::App& app) {
    record.add(app);
    addChoiceOption(app, "--shape", shape, {"half-sine", "terminal-sawtooth"},
                    "Nominal pulse shape (default half-sine)");
    addChoiceOption(app, "--unit", unit, {"ms", "s"}, "Unit of the pulse duration (default ms)");
    addNumberOption(app, "--amplitude", amplitude, "Nominal peak, signed, in the record's units");
    addNumberOption(app, "--pulse-duration", pulseDuration, "Nominal pulse length, in the unit");
    for (const Setting& s : kSettings) addNumberOption(app, s.name, this->*s.text, s.help);
    CLI::Option* srs =
        app.add_option("--srs-tolerance", srsTolerance,
                       "Also check the spectrum: within LOW,HIGH dB of the nominal's")
            ->type_name("LOW,HIGH")
            ->option_text("LOW,HIGH");
    srsOptions.add(app, srs);
    addOutputOption(app, "--report", report, "The report as JSON, to FILE or - (default -)");
    addOutputOption(app, "--band-out", bandOut,
                    "Nominal and limits per sample of the window as a table, to FILE or -");
}

int runCheck(const CLI::App& app, const CheckArguments& a) {
    const ReadOptions readOptions = a.record.validate(app);
    CheckPulse pulse;
    pulse.shape =
        a.shape == "terminal-sawtooth" ? PulseType::TerminalSawtooth : PulseType::HalfSine;
    for (const char* name : {"--amplitude", "--pulse-duration"}) {
        if (app.count(name) == 0) throw UsageError::required(name);
    }
    pulse.amplitude = numberOption("--amplitude", a.amplitude);
    pulse.durationS =
        numberOption("--pulse-duration", a.pulseDuration) * (a.unit == "s" ? 1.0 : 0.001);
    CheckSettings settings;
    for (const Setting& s : kSettings) {
        if (app.count(s.name) > 0) settings.*s.value = numberOption(s.name, a.*s.text);
    }
    if (app.count("--srs-tolerance") > 0) {
        settings.spectrum = spectrumTolerance(a.srsTolerance);
        settings.srs = a.srsOptions.settings(app);
    }
    requireDistinctOutputs({{"FILE", a.record.file == "-" ? "" : a.record.file},
                            {"--report", a.report},
                            {"--band-out", a.bandOut}});

    Record record;
    int status = kExitDone;
    if (!readRecordReported(a.record.file, readOptions, record, status)) return status;
    CheckReport report;
    try {
        CheckProgress progress;
        const Progress line("checking", progress.done, progress.total);
        report = checkRecord(record.channel().view(), pulse, settings, 0, &progress);
    } catch (const CheckError& e) {
        throw UsageError(optionOf(e.field(), a.record.file), e.what());
    } catch (const SrsSettingError& e) {
        throw UsageError(SrsOptions::optionOf(e.setting(), a.record.file), e.what());
    }

    bool ok = writeText(a.report, checkReportJson(report, record.source, record.channel().name));
    if (!a.bandOut.empty()) {
        ok &= writeOutput(a.bandOut, [&](OutputSink& sink) {
            std::string text =
                "# the check's band: nominal pulse started at the offset, lower and upper limits\n"
                "# columns: time_s value nominal lower upper\n";
            for (const BandRow& row : bandRows(record.channel().view(), report)) {
                appendBandRow(text, row);
                if (text.size() > (1 << 20)) {
                    sink.write(text.data(), text.size());
                    text.clear();
                }
            }
            sink.write(text.data(), text.size());
        });
    }
    const auto option = [&](CheckField field) { return optionOf(field, a.record.file); };
    std::cerr << "korvex-cli: " << checkVerdict(report, option) << '\n';
    if (!ok) return kExitNotWritten;
    return report.pass ? kExitDone : kExitCheckFailed;
}

}  // namespace korvex::cli
