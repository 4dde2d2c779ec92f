// korvex-cli analyse FILE: a measured record's figures, motion and shock
// response spectrum, after its conditioning, with warnings on its data.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "cli/condition_arguments.h"
#include "cli/record_arguments.h"
#include "cli/record_outputs.h"
#include "cli/usage.h"

namespace korvex::cli {

struct AnalyseArguments {
    RecordArguments record;
    RecordOutputArguments outputs;
    ConditionArguments condition;
    TrustArguments trust;
    void add(CLI::App& app);
};

int runAnalyse(const CLI::App& app, const AnalyseArguments& arguments);

}  // namespace korvex::cli
