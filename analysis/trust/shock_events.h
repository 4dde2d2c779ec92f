// The shocks in a long record: each found where the magnitude passes a
// threshold, held together across gaps shorter than a dead time, and
// measured as an achieved pulse within its own slice of the record.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "analysis/record.h"
#include "analysis/trust/achieved_pulse.h"
#include "analysis/trust/sample_scan.h"

namespace korvex {

// User settings, with this program's defaults (none is a standard's).
struct EventSettings {
    std::optional<double> threshold;  // a magnitude in the record's units
    double thresholdFraction = 0.3;   // of the record's peak, when no threshold is given
    double deadTimeS = 0.01;          // gaps below the threshold shorter than this join
    double pulseFraction = kDefaultPulseFraction;
};

// first, end: the event's slice, from halfway after the shock before to
// halfway before the shock after (the record's ends for the first and the
// last), so a check of one event keeps the record around it.
struct ShockEvent {
    std::size_t first = 0, end = 0;
    AchievedPulse pulse;
};

// In time order; none in a record without a finite nonzero sample.
// `scan`: the record's, when the caller has it already.
std::vector<ShockEvent> findEvents(const RecordView& record, const EventSettings& settings,
                                   const SampleScan* scan = nullptr);

// The slice of the record an event owns, as a record of its own.
RecordView eventView(const RecordView& record, const ShockEvent& event);

}  // namespace korvex
