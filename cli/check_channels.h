// One record's check: each chosen channel, conditioned as asked, and each
// shock event in it when --event picks them, with the data's warnings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/check/test_plan.h"
#include "analysis/condition/conditioning.h"
#include "analysis/record.h"
#include "analysis/trust/data_warnings.h"
#include "analysis/trust/shock_events.h"
#include "cli/target_arguments.h"

namespace korvex::cli {

// --event: none, one (from 1) or every event.
struct EventChoice {
    bool any = false, all = false;
    std::size_t number = 0;
    EventSettings settings;
};

struct CheckOptions {
    bool pulseCheck = true;  // false: --target alone, no nominal pulse
    CheckPulse pulse;
    std::optional<TargetSettings> target;
    TestPlan plan;
    ConditionSettings condition;
    EventChoice event;
};

// One channel (and event): its label for the verdict ("CH1: ", "event 2: "),
// the report and its JSON text.
struct CheckedPart {
    std::string label;
    std::string column;
    CheckReport report;  // when the nominal pulse was checked
    std::optional<TargetCheck> target;
    bool pass = true;
    std::vector<DataWarning> warnings;
    AchievedPulse achieved;
    std::string json;
    RecordView view;  // as checked, for the band table
};

// The verdict lines (one for the pulse, one for the target), without
// "korvex-cli: " and the label.
std::vector<std::string> partVerdicts(const CheckedPart& part, const CheckOptions& options,
                                      const std::string& file);

// Every channel of the record; throws UsageError for a setting the record
// cannot take (naming the option, or `file` for the record itself).
std::vector<CheckedPart> checkRecordParts(const Record& record, const std::string& file,
                                          const CheckOptions& options,
                                          std::vector<std::vector<double>>& conditioned);

// The report of the parts: a single part's object as it is, several as
// {"checks": [object, ...]}.
std::string partsJson(const std::vector<CheckedPart>& parts);

}  // namespace korvex::cli

namespace korvex::cli {

// The option that sets a field the check refuses (`file` for the record).
std::string checkOptionOf(CheckField field, const std::string& file);

}  // namespace korvex::cli
