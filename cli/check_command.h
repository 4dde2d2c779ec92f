// korvex-cli check FILE: does a measured record meet its nominal pulse?
// The tolerance band, the velocity change and, on request, the spectrum.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "cli/condition_arguments.h"
#include "cli/record_arguments.h"
#include "cli/usage.h"

namespace korvex::cli {

struct CheckArguments {
    RecordArguments record;  // its file: the first of `files`
    std::vector<std::string> files;
    std::string shape = "half-sine", unit = "ms", amplitude, pulseDuration;
    std::string band, timeTolerance, windowBefore, windowAfter;
    std::string velocityTolerance, velocityBefore, velocityAfter, srsTolerance;
    SrsOptions srsOptions;
    std::string report = "-", bandOut, plan, savePlan;
    ConditionArguments condition;
    std::string event, eventThreshold, eventDeadTimeMs, table;
    std::string target, tolerance, q, perOctave;
    void add(CLI::App& app);
};

// 0 passes, 3 does not pass (everything written), 1 not written or read,
// 2 usage or input error. The verdict goes to standard error.
int runCheck(const CLI::App& app, const CheckArguments& arguments);

}  // namespace korvex::cli
