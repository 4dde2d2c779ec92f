// Conditioning a measured record before it is judged: its offset removed,
// its ringing filtered, and its motion kept from drifting; every step that
// was taken is recorded for the summary and the report.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/condition/filter.h"
#include "analysis/record.h"

namespace korvex {

// none; pre: the mean of the record before the pulse (the pre-trigger);
// mean: the mean of the whole record.
enum class OffsetMethod { None, PreTrigger, Mean };

struct ConditionSettings {
    OffsetMethod offset = OffsetMethod::None;
    std::optional<LowPassChoice> lowPass;
    double highPassHz = 0.0;  // 0: none; for velocity and displacement only
    // Padding at each end for the filters: a user setting (J211/1 Appendix C
    // leaves the filter's start to the user); 10 ms is this program's default.
    double padS = 0.01;
    double pulseFraction = 0.1;  // bounds the pulse whose pre-trigger is averaged
};

// What was done, for the summary's processing object.
struct Processing {
    OffsetMethod offset = OffsetMethod::None;
    double offsetValue = 0.0;       // subtracted from every sample
    std::size_t offsetSamples = 0;  // it is the mean of
    std::optional<LowPassChoice> lowPass;
    double lowPassDesignHz = 0.0;  // of each pass's section
    double highPassHz = 0.0;
    double highPassDesignHz = 0.0;
    std::size_t padSamples = 0;
    bool any() const { return offset != OffsetMethod::None || lowPass || highPassHz > 0; }
};

// A setting the record cannot take; setting() names it ("offset",
// "lowpass", "highpass") for the caller's own words.
class ConditionError : public std::runtime_error {
  public:
    ConditionError(std::string setting, const std::string& message)
        : std::runtime_error(message), setting_(std::move(setting)) {}
    const std::string& setting() const { return setting_; }

  private:
    std::string setting_;
};

// values: the conditioned record (offset, then low pass); motion: what
// velocity and displacement are integrated from (values, then the high
// pass), empty when it equals values.
struct ConditionedRecord {
    std::vector<double> values, motion;
    Processing processing;
};

ConditionedRecord conditionRecord(const RecordView& record, const ConditionSettings& settings);

}  // namespace korvex
