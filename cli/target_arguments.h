// The required spectrum on the command line: --target read from a file or
// an inline list (synthesize and check), and check's words on a record's
// spectrum against it.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "analysis/synthesis/srs_target.h"

namespace korvex::cli {

// --target: a file when one of that name can be opened, else the inline
// "f1:A1,f2:A2" list. Returns false (the message written) when a file
// cannot be read; a target it cannot use is a UsageError naming --target.
bool readTarget(const std::string& text, SpectrumTarget& target);

// What check judges a record's spectrum on.
struct TargetSettings {
    SpectrumTarget target;
    DbTolerance tolerance{1.0, 1.0};
    double q = 10.0;
    int perOctave = 12;
};

// "PASS: spectrum within -1,1 dB of the target at all 120 frequencies,
// smallest margin 0.12 dB at 1234 Hz", or FAIL with how many lie outside.
std::string targetVerdict(const TargetCheck& check, const TargetSettings& settings);

// pass, target (breakpoints), tolerance, q, per_octave, worst and
// frequencies (each with target, achieved, error_db, margin_db).
nlohmann::ordered_json targetJson(const TargetCheck& check, const TargetSettings& settings);

}  // namespace korvex::cli
