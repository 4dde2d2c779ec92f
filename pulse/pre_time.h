// Zeros before the pulse: a record that starts a pre-time before the pulse
// (or before a compensated pulse's pre-pulse), as a recorder's pre-trigger
// keeps, so that a check has room for its window before the pulse.
#pragma once

#include <optional>
#include <string>

#include "pulse/pulse_series.h"
#include "pulse/time_history.h"

namespace korvex {

// The zero samples a pre-time takes: round(preTime x sampleRate), both in
// the params' unit. nullopt, with the reason in `why`, for a pre-time that
// is not a number of 0 or more, or that alone would fill the longest record.
std::optional<int> preTimeSamples(const PulseParameters& params, double preTime,
                                  std::string* why = nullptr);

// Samples [first, end) of the padded record: zeros for i < pre, then sample
// i - pre of `inner`; every time is i x dt as the generator computes it, in
// seconds. pre 0 gives `inner`'s own samples, bit for bit.
void paddedSamples(const SampleSource& inner, int pre, const SamplePlan& plan, TimeUnit unit,
                   int first, int end, double* times, double* amplitudes);

// The padded record's sample count: never more than kMaxSamples (the end is
// cut, as the generator cuts a long record).
int paddedCount(int pre, int count);

// Pads `series` in place, its first `count` samples moved `pre` later.
void padSeries(PulseSeries& series, int pre, const SamplePlan& plan, TimeUnit unit);

}  // namespace korvex
