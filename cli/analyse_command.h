// korvex-cli analyse FILE: a measured record's figures, motion and shock
// response spectrum.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "cli/record_arguments.h"
#include "cli/record_outputs.h"
#include "cli/usage.h"

namespace korvex::cli {

struct AnalyseArguments {
    RecordArguments record;
    RecordOutputArguments outputs;
    void add(CLI::App& app);
};

int runAnalyse(const CLI::App& app, const AnalyseArguments& arguments);

}  // namespace korvex::cli
