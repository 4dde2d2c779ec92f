// The options that condition a measured record and say how far to trust
// it: offset, filters, the achieved pulse and the shock events. analyse
// takes them all; check takes the conditioning.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "analysis/condition/conditioning.h"
#include "analysis/trust/shock_events.h"

namespace korvex::cli {

// --offset, --lowpass, --highpass, --filter-pad-ms, as given.
struct ConditionArguments {
    std::string offset = "none", lowpass, highpass, padMs;
    void add(CLI::App& app);
    ConditionSettings validate(const CLI::App& app) const;
};

// --pulse, --pulse-fraction, --events, --event-threshold, --event-dead-time-ms.
// "CFC60" ... "CFC1000" or a corner in Hz; a UsageError naming --lowpass.
LowPassChoice lowPassOption(const std::string& text);

struct TrustArguments {
    bool pulse = false, events = false;
    std::string pulseFraction, eventThreshold, eventDeadTimeMs;
    void add(CLI::App& app);
};

struct TrustOptions {
    bool pulse = false, events = false;
    double pulseFraction = kDefaultPulseFraction;
    EventSettings eventSettings;
};
TrustOptions validateTrust(const CLI::App& app, const TrustArguments& arguments);

// Conditions the record; a setting it cannot take is a UsageError naming
// the option.
ConditionedRecord conditionReported(const RecordView& record, const ConditionSettings& settings);

}  // namespace korvex::cli
