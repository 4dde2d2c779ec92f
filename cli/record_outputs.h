// What korvex-cli writes about any record, generated or read: the motion
// table and figures with their shaker limits, and the spectrum table.
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <optional>
#include <string>

#include "analysis/motion.h"
#include "analysis/record.h"
#include "analysis/srs.h"
#include "cli/usage.h"

namespace korvex::cli {

// --amplitude-unit, --max-stroke, --max-velocity and --motion, as given.
struct MotionArguments {
    std::string amplitudeUnit, maxStroke, maxVelocity, motion;
    void add(CLI::App& app);
};

struct MotionOptions {
    std::optional<AccelerationUnit> unit;
    ShakerLimits limits;
    std::string motion;  // the table's path, or ""
};
MotionOptions validateMotion(const CLI::App& app, const MotionArguments& arguments);

// The summary's motion figures: velocity and displacement in amplitude
// units x s and x s^2, in m/s and mm too with a unit, and the margins to the
// limits. Warns on standard error of each limit exceeded.
void addMotionSummary(nlohmann::ordered_json& summary, const MotionFigures& figures,
                      const MotionOptions& options);

// Integrates the record and writes the motion table; false when not written.
bool writeMotionTable(const std::string& path, const RecordView& record,
                      std::optional<AccelerationUnit> unit);

// --summary, --srs with its settings and kind, and the motion options, as
// given, for a record that is generated or read.
struct RecordOutputArguments {
    std::string summary, srs, srsKind = "acceleration";
    SrsOptions srsOptions;
    MotionArguments motion;
    // `what` names the record in the help: "the pulse", "the record".
    void add(CLI::App& app, const std::string& what);
};

struct RecordOutputs {
    std::string summary, srs;  // paths, or ""
    SrsSettings srsSettings;
    MotionOptions motion;
};
RecordOutputs validateOutputs(const CLI::App& app, const RecordOutputArguments& arguments);

// Plans the spectrum (a bad setting is a UsageError naming its option;
// `sampling` names the option or file the interval comes from), computes
// it with a progress line on a terminal, and writes its table.
SrsPlan planSpectrum(const SrsSettings& settings, double intervalS, const std::string& sampling);
bool writeSpectrum(const std::string& path, const SrsPlan& plan, std::span<const double> samples,
                   const std::string& input, std::optional<AccelerationUnit> unit);

}  // namespace korvex::cli
