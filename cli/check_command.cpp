#include "cli/check_command.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include "analysis/check/series.h"
#include "analysis/check_json.h"
#include "analysis/tolerance_check.h"
#include "cli/check_channels.h"
#include "cli/check_conditioning.h"
#include "cli/check_options.h"
#include "cli/check_series.h"
#include "cli/output_files.h"
#include "cli/progress.h"
#include "cli/record_outputs.h"
#include "cli/trust_outputs.h"
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

// The plan file's text; false (reported, `status` set) when it cannot be
// read.
bool readPlanFile(const std::string& path, TestPlan& plan, int& status) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
        std::cerr << "korvex-cli: cannot read " << path << ": no such file or not readable\n";
        status = kExitNotWritten;
        return false;
    }
    try {
        plan = readTestPlan(text.str());
    } catch (const TestPlanError& e) {
        throw UsageError("--plan", path + ": " + e.what());
    }
    return true;
}

// The plan of --plan with every option given laid over it.
void applyOptions(const CLI::App& app, const CheckArguments& a, TestPlan& plan) {
    if (app.count("--shape") > 0) {
        plan.shape =
            a.shape == "terminal-sawtooth" ? PulseType::TerminalSawtooth : PulseType::HalfSine;
    }
    if (app.count("--unit") > 0) {
        plan.unit = a.unit == "s" ? TimeUnit::Seconds : TimeUnit::Milliseconds;
    }
    if (app.count("--amplitude") > 0) plan.amplitude = numberOption("--amplitude", a.amplitude);
    if (app.count("--pulse-duration") > 0) {
        plan.pulseDuration = numberOption("--pulse-duration", a.pulseDuration);
    }
    for (const Setting& s : kSettings) {
        if (app.count(s.name) > 0) plan.settings.*s.value = numberOption(s.name, a.*s.text);
    }
    if (app.count("--srs-tolerance") > 0) {
        plan.settings.spectrum = spectrumTolerance(a.srsTolerance);
        const SrsSettings given = a.srsOptions.settings(app);
        SrsSettings& srs = plan.settings.srs;
        if (app.count("--srs-q") > 0) srs.q = given.q;
        if (app.count("--srs-from") > 0) srs.fromHz = given.fromHz;
        if (app.count("--srs-to") > 0) srs.toHz = given.toHz;
        if (app.count("--srs-per-octave") > 0) srs.perOctave = given.perOctave;
    }
    if (app.count("--column") > 0) plan.channels = {a.record.column};
}

}  // namespace

void CheckArguments::add(CLI::App& app) {
    app.add_option("FILE", files,
                   "The record: a text file of columns, a LabVIEW .lvm, an oscilloscope CSV "
                   "export, a MATLAB .mat or a WAV file, or - for standard input; several "
                   "records check a test series")
        ->required()
        ->type_name("");
    record.add(app, false);
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
    app.add_option("--plan", plan,
                   "Test plan (JSON): nominal, tolerances, spectrum, channels; options given "
                   "override it")
        ->type_name("FILE")
        ->option_text("FILE");
    condition.add(app);
    addFormOption(app, "--event", event, "N|all",
                  "Check one shock of a long record (its number from 1) or every one (all)");
    addNumberOption(app, "--event-threshold", eventThreshold,
                    "Magnitude that starts a shock (default 0.3 of the record's peak)");
    addNumberOption(app, "--event-dead-time-ms", eventDeadTimeMs,
                    "Gap below the threshold that ends a shock, ms (default 10)");
    addFormOption(app, "--target", target, "FILE|LIST",
                  "Check the record's spectrum against a required one: a table FILE "
                  "(frequency in Hz, level) or \"f1:A1,f2:A2,...\"; no nominal pulse needed");
    addFormOption(app, "--tolerance", tolerance, "LOW,HIGH",
                  "Band around the target, dB below and above as LOW,HIGH (default 1,1)");
    addNumberOption(app, "--q", q, "Quality factor Q of the target's spectrum (default 10)");
    addNumberOption(app, "--per-octave", perOctave,
                    "Target spectrum frequencies per octave, 1 to 48 (default 12)");
    addOutputOption(app, "--save-plan", savePlan,
                    "Write the plan of the options given (and --plan) as JSON, to FILE or -");
    addOutputOption(app, "--report", report, "The report as JSON, to FILE or - (default -)");
    addOutputOption(app, "--table", table,
                    "A test series' table as CSV, one row per record and channel, to FILE or -");
    addOutputOption(app, "--band-out", bandOut,
                    "Nominal and limits per sample of the window as a table, to FILE or -");
}

int runCheck(const CLI::App& app, const CheckArguments& given) {
    CheckArguments a = given;
    a.record.file = a.files.front();
    ReadOptions readOptions = a.record.validate(app);
    int status = kExitDone;
    TestPlan plan;
    if (!a.plan.empty() && !readPlanFile(a.plan, plan, status)) return status;
    applyOptions(app, a, plan);
    CheckOptions options;
    options.target = targetChoice(app, a.tolerance, a.q, a.perOctave);
    if (options.target && !readTarget(a.target, options.target->target)) return kExitNotWritten;
    options.pulseCheck = !options.target || plan.amplitude || plan.pulseDuration;
    if (options.pulseCheck) {
        if (!plan.amplitude) throw UsageError::required("--amplitude");
        if (!plan.pulseDuration) throw UsageError::required("--pulse-duration");
        options.pulse = *planPulse(plan);
    } else if (!a.bandOut.empty()) {
        throw UsageError::sentence("--band-out", "needs a nominal pulse");
    }
    if (app.count("--column") == 0 && !plan.channels.empty()) {
        readOptions.valueColumn = plan.channels.front();
    }
    options.condition =
        mergeConditioning(app, a.condition, readPlanConditioning(plan.conditioning));
    plan.conditioning = planConditioningJson(options.condition);
    options.event = eventChoice(app, a.event, a.eventThreshold, a.eventDeadTimeMs);
    requireDistinctOutputs({{"FILE", a.record.file == "-" ? "" : a.record.file},
                            {"--report", a.report},
                            {"--band-out", a.bandOut},
                            {"--save-plan", a.savePlan},
                            {"--table", a.table}});
    if (a.files.size() > 1 && !a.bandOut.empty()) {
        throw UsageError::sentence("--band-out", "takes one record");
    }

    if (!a.savePlan.empty() && !writeText(a.savePlan, testPlanJson(plan))) {
        return kExitNotWritten;
    }
    options.plan = plan;
    if (a.files.size() > 1) return runSeries(a.files, readOptions, options, {a.report, a.table});

    Record record;
    if (!readRecordReported(a.record.file, readOptions, record, status)) return status;
    std::vector<std::vector<double>> conditioned;
    const std::vector<CheckedPart> parts =
        checkRecordParts(record, a.record.file, options, conditioned);
    if (!a.bandOut.empty() && parts.size() > 1) {
        throw UsageError("--band-out", "takes one channel and one event; " +
                                           std::to_string(parts.size()) + " were checked");
    }

    bool ok = writeText(a.report, partsJson(parts));
    if (!a.table.empty()) {
        std::vector<SeriesRow> rows;
        for (const CheckedPart& p : parts) {
            rows.push_back(seriesRow(a.record.file, p.column,
                                     options.pulseCheck ? &p.report : nullptr,
                                     p.target ? &*p.target : nullptr, p.achieved, p.warnings));
        }
        ok &= writeText(a.table, seriesCsv(rows));
    }
    if (!a.bandOut.empty()) {
        const CheckedPart& part = parts.front();
        ok &= writeOutput(a.bandOut, [&](OutputSink& sink) {
            std::string text =
                "# the check's band: nominal pulse started at the offset, lower and upper limits\n"
                "# columns: time_s value nominal lower upper\n";
            for (const BandRow& row : bandRows(part.view, part.report)) {
                appendBandRow(text, row);
                if (text.size() > (1 << 20)) {
                    sink.write(text.data(), text.size());
                    text.clear();
                }
            }
            sink.write(text.data(), text.size());
        });
    }
    bool pass = true;
    for (const CheckedPart& part : parts) {
        printWarnings(part.warnings);
        for (const std::string& line : partVerdicts(part, options, a.record.file)) {
            std::cerr << "korvex-cli: " << part.label << line << '\n';
        }
        pass &= part.pass;
    }
    if (!ok) return kExitNotWritten;
    return pass ? kExitDone : kExitCheckFailed;
}

}  // namespace korvex::cli
