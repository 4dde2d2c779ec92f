// The conditioning a check applies, as the test plan carries it: the plan's
// "conditioning" object read into settings, the options given laid over it,
// and written back so that --save-plan keeps it.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "analysis/condition/conditioning.h"
#include "cli/condition_arguments.h"

namespace korvex::cli {

// {"offset": "pre"|"mean", "lowpass": "CFC1000"|"500", "highpass_hz": N,
// "filter_pad_ms": N}, each only when set; a key or value it cannot take is
// a UsageError naming --plan.
ConditionSettings readPlanConditioning(const std::string& json);
std::string planConditioningJson(const ConditionSettings& settings);

// The plan's settings with each conditioning option given laid over them.
ConditionSettings mergeConditioning(const CLI::App& app, const ConditionArguments& arguments,
                                    ConditionSettings plan);

inline bool conditions(const ConditionSettings& s) {
    return s.offset != OffsetMethod::None || s.lowPass || s.highPassHz > 0;
}

}  // namespace korvex::cli
