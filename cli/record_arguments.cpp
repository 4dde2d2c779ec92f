#include "cli/record_arguments.h"

#include <cmath>
#include <iostream>

#include "cli/usage.h"

namespace korvex::cli {

std::string flagOf(ReadSetting setting) {
    switch (setting) {
        case ReadSetting::ValueColumn:
            return "--column";
        case ReadSetting::TimeColumn:
            return "--time-column";
        case ReadSetting::TimeUnit:
            return "--time-unit";
        case ReadSetting::Rate:
            return "--rate";
        case ReadSetting::Segment:
            return "--segment";
        case ReadSetting::RateVariable:
            return "--rate-variable";
        case ReadSetting::Scale:
            return "--scale";
        case ReadSetting::UnitLabel:
            return "--unit-label";
        default:
            return settingName(setting);  // no flag of korvex-cli sets it
    }
}

void RecordArguments::add(CLI::App& app, bool withFile) {
    if (withFile) {
        app.add_option("FILE", file,
                       "The record: a text file of columns, a LabVIEW .lvm, an oscilloscope CSV "
                       "export, a MATLAB .mat or a WAV file, or - for standard input")
            ->required()
            ->type_name("");
    }
    app.add_option("--column", column,
                   "The value column: its number from 1, or its name (default 2), or a list "
                   "(2,3-4,NAME) or all; of a LabVIEW, oscilloscope, MAT or WAV file, channels "
                   "likewise (default all)")
        ->type_name("N|NAME|LIST|all")
        ->option_text("N|NAME|LIST|all");
    app.add_option("--time-column", timeColumn,
                   "The time column: its number, its name, or none with --rate (default 1)")
        ->type_name("N|NAME|none")
        ->option_text("N|NAME|none");
    addChoiceOption(app, "--time-unit", timeUnit, {"s", "ms"},
                    "Unit of the time column (default s)");
    addNumberOption(app, "--rate", rate, "Samples per second, for a record without a time column");
    app.add_option("--segment", segment,
                   "Of a LabVIEW file of several segments: which, from 1, or all (default 1)")
        ->type_name("N|all")
        ->option_text("N|all");
    app.add_option("--rate-variable", rateVariable,
                   "Of a MAT file: the variable holding the sample rate in Hz (or the interval "
                   "in s, where its name says dt, interval, delta, period, step or ts)")
        ->type_name("NAME")
        ->option_text("NAME");
    addNumberOption(app, "--scale", scale,
                    "A factor on the values as stored, such as a sensor's sensitivity (WAV: "
                    "full scale is 1; default 1)");
    app.add_option("--unit-label", unitLabel, "The values' unit, where the file does not say it")
        ->type_name("TEXT")
        ->option_text("TEXT");
}

ReadOptions RecordArguments::validate(const CLI::App& app) const {
    ReadOptions o;
    o.valueColumn = column;
    o.timeColumn = timeColumn;
    o.timeUnit = timeUnit == "ms" ? RecordTimeUnit::Milliseconds : RecordTimeUnit::Seconds;
    o.segment = segment;
    o.rateVariable = rateVariable;
    o.unitLabel = unitLabel;
    if (app.count("--scale") > 0) {
        o.scale = numberOption("--scale", scale);
        if (!std::isfinite(o.scale) || o.scale == 0) {
            throw UsageError("--scale", "must be a finite number other than 0, got " + scale);
        }
    }
    const bool none = timeColumn == "none";
    if (app.count("--rate") > 0) {
        if (!none) {
            throw UsageError::sentence(
                "--rate", "is only for a record without a time column (--time-column none)");
        }
        o.rateHz = numberOption("--rate", rate);
        if (!(*o.rateHz > 0)) throw UsageError("--rate", "must be greater than 0, got " + rate);
        if (!std::isfinite(1.0 / *o.rateHz)) {
            throw UsageError("--rate", rate +
                                           " is too low: the sample interval 1 / rate is "
                                           "beyond the range of a double");
        }
    } else if (none) {
        throw UsageError::sentence("--time-column none", "needs --rate, the samples per second");
    }
    return o;
}

bool readRecordReported(const std::string& file, const ReadOptions& options, Record& record,
                        int& status) {
    try {
        record = readRecord(file, options);
        for (const std::string& note : record.notes)
            std::cerr << "korvex-cli: note: " << note << '\n';
        return true;
    } catch (const RecordError& e) {
        if (e.kind() == RecordError::Kind::Unreadable) {
            std::cerr << "korvex-cli: cannot read " << e.messageWith(flagOf) << '\n';
            status = kExitNotWritten;
        } else {
            std::cerr << "korvex-cli: " << e.messageWith(flagOf) << '\n';
            status = kExitUsage;
        }
        return false;
    }
}

}  // namespace korvex::cli
