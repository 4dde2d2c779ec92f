// The pulse a record achieved, measured rather than assumed: its peak, the
// duration between the crossings of a fraction of the peak, its rise time,
// and the half-sine and terminal sawtooth that fit it best.
#pragma once

#include <cstddef>

#include "analysis/record.h"
#include "analysis/trust/sample_scan.h"

namespace korvex {

// The fraction of the peak whose crossings bound the pulse: a user setting
// (the default is this program's choice, not a standard's).
inline constexpr double kDefaultPulseFraction = 0.1;

struct AchievedPulse {
    bool found = false;         // false for no samples, all zero, or a NaN
    std::size_t peakIndex = 0;  // the first sample of largest magnitude
    std::size_t first = 0;      // the first sample at or beyond the fraction
    std::size_t end = 0;        // one past the last such sample
    double peak = 0.0;          // signed
    double peakTimeS = 0.0;
    double startS = 0.0;  // the crossings, linearly interpolated between samples
    double endS = 0.0;
    double durationS = 0.0;
    double riseTimeS = 0.0;  // from the fraction to 1 - fraction of the peak
    double fraction = kDefaultPulseFraction;
};

// The pulse around the largest sample of [first, end) of the record (the
// whole record by default); `fraction` in (0, 0.5).
AchievedPulse measurePulse(const RecordView& record, double fraction = kDefaultPulseFraction);
AchievedPulse measurePulse(const RecordView& record, std::size_t first, std::size_t end,
                           double fraction);
// [first, end) whose largest sample is known to lie in [peakFirst, peakEnd).
AchievedPulse measurePulseAround(const RecordView& record, std::size_t first, std::size_t end,
                                 std::size_t peakFirst, std::size_t peakEnd, double fraction);
// The whole record, its scan already taken.
AchievedPulse measurePulse(const RecordView& record, double fraction, const SampleScan& scan);

enum class PulseShape { HalfSine, TerminalSawtooth };

// A x shape((t - start) / duration) over [start, start + duration], zero
// elsewhere, fitted by least squares to the samples from one duration
// before the pulse to one after: A exactly for each start and duration,
// those two by a simplex search from the measured pulse. residual is the
// RMS misfit over those samples as a fraction of the peak's magnitude.
struct PulseFit {
    bool found = false;
    double amplitude = 0.0;
    double durationS = 0.0;
    double startS = 0.0;
    double residual = 0.0;
};
PulseFit fitPulse(const RecordView& record, const AchievedPulse& pulse, PulseShape shape);

}  // namespace korvex
