// The check's options that choose what is judged: which shock events of a
// long record, and a required spectrum in place of (or beside) the pulse.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

#include "cli/check_channels.h"

namespace korvex::cli {

// --event N|all with --event-threshold and --event-dead-time-ms.
EventChoice eventChoice(const CLI::App& app, const std::string& event, const std::string& threshold,
                        const std::string& deadTimeMs);

// --tolerance, --q, --per-octave when --target is given (its breakpoints
// are read later); nullopt without --target, a UsageError when they come
// without it.
std::optional<TargetSettings> targetChoice(const CLI::App& app, const std::string& tolerance,
                                           const std::string& q, const std::string& perOctave);

}  // namespace korvex::cli
