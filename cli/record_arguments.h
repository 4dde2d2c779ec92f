// The options that pick a measured record out of a file, shared by the
// commands that read one.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "analysis/record.h"
#include "analysis/record_reader.h"

namespace korvex::cli {

struct RecordArguments {
    std::string file;
    std::string column, timeColumn, timeUnit = "s", rate;
    std::string segment, rateVariable, scale, unitLabel;
    // withFile false: the command takes FILE itself (check takes several).
    void add(CLI::App& app, bool withFile = true);
    // UsageError for options that do not fit together.
    ReadOptions validate(const CLI::App& app) const;
};

// The flag that sets a ReadSetting, as a reader's message names it.
std::string flagOf(ReadSetting setting);

// Reads the record; a failure is reported on standard error and returns
// false, with the exit status in `status` (1 unreadable, 2 bad content).
bool readRecordReported(const std::string& file, const ReadOptions& options, Record& record,
                        int& status);

}  // namespace korvex::cli
