// What makes a record's figures untrustworthy, found in the data itself:
// a clipped recorder, velocity that drifts after the pulse, a pulse with too
// few samples, too little record before the pulse, an uneven time step.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/record.h"
#include "analysis/trust/achieved_pulse.h"
#include "analysis/trust/sample_scan.h"

namespace korvex {

// code: "clipped", "drift", "undersampled", "short_pre_trigger",
// "time_step"; message: a sentence for people; whereS: the time it starts.
// lowerBounds: figures that can only be larger than given (for a clip: the
// peak and the spectra).
struct DataWarning {
    std::string code;
    std::string message;
    std::optional<double> whereS;
    std::vector<std::string> lowerBounds;
};

// User settings, with this program's defaults (none is a standard's).
struct WarningSettings {
    std::size_t clipRun = 3;           // equal samples at an extreme that count as a clip
    std::size_t minPulseSamples = 10;  // over the achieved duration
    // Velocity growth after the pulse, as a fraction of the pulse's own
    // velocity change, beyond which it is drift.
    double driftFraction = 0.1;
};

// Runs of at least `run` consecutive samples equal to the record's largest
// or smallest value, where that value stands at least half the record's
// range from its mean (so a flat baseline at an extreme is not a clip) and
// the record runs into the run steeply: a line through the two samples
// before it or after it would pass the level by a hundredth of the range by
// the run's middle (a finely sampled smooth peak, rounded to a few equal
// samples, does not). One warning per extreme, at its longest run.
// `scan`: the record's, when the caller has it already.
std::vector<DataWarning> findClipping(const RecordView& record, std::size_t run = 3,
                                      const SampleScan* scan = nullptr);

// The velocity still growing after the pulse (from one duration after its
// end to the next shock, one passing the events' default threshold): the
// mean acceleration there is the offset that would explain it.
std::optional<DataWarning> findDrift(const RecordView& record, const AchievedPulse& pulse,
                                     double driftFraction = 0.1);

// Fewer than minSamples sampling intervals over the achieved duration.
std::optional<DataWarning> checkPulseSampling(const AchievedPulse& pulse, double intervalS,
                                              std::size_t minSamples = 10);

// Less record before the pulse than a window of windowBeforeS needs (the
// check's, which starts that long before the pulse).
std::optional<DataWarning> checkPreTrigger(const RecordView& record, const AchievedPulse& pulse,
                                           double windowBeforeS);

// A time step strays from the interval by more than `tolerance` of it
// (records with their own times only).
std::optional<DataWarning> checkTimeSteps(const RecordView& record, double tolerance);

// Clips, drift and sampling (not the time steps: the reader refuses a
// record whose steps stray, so only a caller that lets one through asks);
// `raw` is the record as read (clips), `drift` the conditioned record before any high pass
// (null with one: the high pass takes the velocity back to rest by design),
// the pulse measured on the conditioned record.
std::vector<DataWarning> dataWarnings(const RecordView& raw, const RecordView* drift,
                                      const AchievedPulse& pulse, const WarningSettings& settings,
                                      const SampleScan* rawScan = nullptr);

// Whether any warning says the peak is a lower bound.
bool peakIsLowerBound(const std::vector<DataWarning>& warnings);

}  // namespace korvex
