// korvex-cli without a command: the dialog's calculation, with the same
// file bytes, and the pulse's figures, motion and shock response spectrum;
// a compensated pulse for a shaker on request.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "cli/record_outputs.h"
#include "cli/usage.h"

namespace korvex::cli {

// The arguments as given, until validated.
struct GenerateArguments {
    std::string shape = "half-sine";
    std::string unit = "ms";
    std::string amplitude, pulseDuration, totalDuration, sampleRate, compensation, output;
    std::string preTime;
    RecordOutputArguments outputs;

    void add(CLI::App& app);
};

// Validates the arguments (UsageError), then writes what they ask for.
// Returns the exit status.
int runGenerate(const CLI::App& app, const GenerateArguments& arguments);

}  // namespace korvex::cli
