// analyse's work on each channel of a record (conditioning, warnings, pulse,
// events, summary) and the tables that put several channels side by side.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "analysis/condition/conditioning.h"
#include "analysis/record.h"
#include "analysis/trust/data_warnings.h"
#include "analysis/trust/shock_events.h"
#include "cli/condition_arguments.h"
#include "cli/record_outputs.h"

namespace korvex::cli {

struct AnalyseSettings {
    RecordOutputs outputs;
    ConditionSettings condition;
    TrustOptions trust;
};

// One channel as judged: views into the record or into its own conditioned
// samples, so it stays where it was built.
struct ChannelResult {
    RecordView raw, view, motionView;
    ConditionedRecord conditioned;
    std::vector<DataWarning> warnings;
    std::vector<ShockEvent> events;
    bool lowerBound = false;         // a clip: every response is a lower bound
    nlohmann::ordered_json summary;  // only when --summary is asked for
};

// Judges one channel; `label` prefixes its warnings ("" for a lone channel).
void analyseChannel(const Record& record, const Channel& channel, const AnalyseSettings& settings,
                    const std::string& label, ChannelResult& out);

// The channels' names, each once: a blank one by its number, a repeated one
// with "#N" (its number) added.
std::vector<std::string> channelKeys(const Record& record);

// A UsageError on --motion naming --column when the channels do not share
// their times.
void requireSharedTimeBase(const Record& record, const std::vector<std::string>& keys);

// Every channel's spectrum at the same frequencies: each channel's own plan,
// all at the lowest upper limit when theirs differ (`note` says so). A bad
// setting is a UsageError, as planSpectrum gives it.
struct SharedSpectra {
    std::vector<SrsPlan> plans;  // one per channel
    std::string note;            // comment lines for the table's header, or ""
};
SharedSpectra planSpectra(const SrsSettings& settings, const Record& record,
                          const std::string& sampling);
bool writeSpectra(const std::string& path, const SharedSpectra& spectra,
                  const std::vector<ChannelResult>& results, const std::vector<std::string>& keys,
                  std::optional<AccelerationUnit> unit);

// Time, then acceleration, velocity and displacement of each channel.
bool writeMotionTables(const std::string& path, const std::vector<ChannelResult>& results,
                       const std::vector<std::string>& keys, std::optional<AccelerationUnit> unit);

}  // namespace korvex::cli
