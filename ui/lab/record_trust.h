// What the lab makes of a record before it judges it: the record
// conditioned as korvex-cli analyse conditions it, the shocks in it and the
// one being checked, the warnings on its data, and the pulse it achieved.
#pragma once

#include <QString>

#include <cstddef>
#include <memory>
#include <vector>

#include "analysis/trust/achieved_pulse.h"
#include "analysis/trust/data_warnings.h"
#include "analysis/trust/shock_events.h"
#include "ui/lab/check_outcome.h"

namespace korvex {

struct RecordTrust {
    // The whole record conditioned; the raw record itself when nothing is set.
    std::shared_ptr<const LoadedRecord> conditioned;
    // What the check, the figures and the spectra see: the conditioned
    // record, or its event's slice when it holds several shocks.
    std::shared_ptr<const LoadedRecord> judged;
    Processing processing;
    std::vector<ShockEvent> events;
    std::size_t event = 0;  // of events, when there are several
    std::vector<DataWarning> warnings;
    AchievedPulse pulse;
    PulseFit halfSine, sawtooth;
};

// Throws ConditionError for a setting the record cannot take.
RecordTrust judgeRecord(const std::shared_ptr<const LoadedRecord>& raw, const CheckRequest& request,
                        std::size_t event);

// One line a warning, korvex-cli's words after "Warning: ".
QString warningsText(const RecordTrust& trust);
// "Achieved: peak ..., 10 % duration ..., rise ...; half-sine ... (residual ...), ...".
QString achievedText(const RecordTrust& trust, const TimeUnitText& time);
// The better of the two fits (the smaller residual); none found: nullptr.
const PulseFit* betterFit(const RecordTrust& trust, PulseType* shape);

}  // namespace korvex
