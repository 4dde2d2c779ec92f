// korvex-cli synthesize: a shaker drive, a sum of wavelets, whose shock
// response spectrum meets a required one within a band in dB.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "cli/record_outputs.h"
#include "cli/usage.h"

namespace korvex::cli {

struct SynthesizeArguments {
    std::string target, q, perOctave, tolerance, sampleRate, duration, seed, maxIterations,
        attempts;
    std::string format = "time-history";
    std::string output, summary, srs;
    MotionArguments motion;
    void add(CLI::App& app);
};

int runSynthesize(const CLI::App& app, const SynthesizeArguments& arguments);

}  // namespace korvex::cli
