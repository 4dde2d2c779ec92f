// The summary's words on trusting a record: its warnings (also on standard
// error), the processing applied, the achieved pulse and the shock events.
// analyse and check write them.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "analysis/condition/conditioning.h"
#include "analysis/trust/data_warnings.h"
#include "analysis/trust/shock_events.h"

namespace korvex::cli {

// "warnings": [{code, message, where_s, lower_bounds?}], only when there is
// one, so a clean record's summary keeps its bytes.
void addWarnings(nlohmann::ordered_json& summary, const std::vector<DataWarning>& warnings);
// "korvex-cli: warning: MESSAGE" for each, "CHANNEL: MESSAGE" when named.
void printWarnings(const std::vector<DataWarning>& warnings, const std::string& channel = "");

// "processing": {offset, lowpass, highpass}, only when a step was asked for.
void addProcessing(nlohmann::ordered_json& summary, const Processing& processing);

// "pulse": peak, times, duration, rise time, fraction, and the two fits.
nlohmann::ordered_json pulseJson(const RecordView& record, const AchievedPulse& pulse);

// "events": [{start_s, peak_time_s, peak, duration_s, first_sample, end_sample}].
nlohmann::ordered_json eventsJson(const std::vector<ShockEvent>& events);
// The same as a commented text table.
std::string eventsTable(const std::vector<ShockEvent>& events);

}  // namespace korvex::cli
