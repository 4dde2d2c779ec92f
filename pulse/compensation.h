// Compensated pulses for a shaker table, which must start and end at rest
// and in place: a half-sine of the opposite sign before the main pulse and
// another after it, sized so that velocity and displacement return to zero.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "pulse/pulse_series.h"

namespace korvex {

// What cannot be compensated: the input to change, and why in words.
enum class CompensationInput { Ratio, Amplitude, PulseDuration, SampleRate, PulseType };

class CompensationError : public std::invalid_argument {
  public:
    CompensationError(CompensationInput input, const std::string& message)
        : std::invalid_argument(message), input_(input) {}
    CompensationInput input() const { return input_; }

  private:
    CompensationInput input_;
};

// How far the sampled compensation peaks may stray from P x |A|.
inline constexpr double kCompensationPeakTolerance = 0.01;

// Where the three pulses lie in the record, and how tall the two
// compensation pulses are. Sample i of the record is at time i x dt; the
// main pulse's sample j (the generator's sample j) is the record's sample
// mainStart + j.
struct CompensationPlan {
    double ratio = 0.0;  // P; 0: no compensation, the generator's record unchanged
    double dt = 0.0;     // in the params' time unit
    // Durations from the continuous pulses (params' time unit).
    double continuousPre = 0.0;
    double continuousPost = 0.0;
    // The durations laid out: the continuous ones, re-solved with the
    // sampled main pulse's area and first moment (params' time unit).
    double preDuration = 0.0;
    double postDuration = 0.0;
    // The 2x2 sampling correction: the peaks are -P x A x scale.
    double preScale = 1.0;
    double postScale = 1.0;
    double prePeak = 0.0;        // signed, amplitude units
    double postPeak = 0.0;       // signed, amplitude units
    std::int64_t mainStart = 0;  // record index of the main pulse's t = 0
    std::int64_t mainEnd = 0;    // first index after the main pulse's samples
    std::int64_t postEnd = 0;    // first index after the post-pulse's samples
    int count = 0;               // samples in the record (as computePulseSeries's count)
    bool cut = false;            // the record needed more than kMaxSamples samples
    // Velocity and displacement return to zero within the record: false
    // without compensation and whenever the cap cut the post-pulse short.
    bool endsAtRest = false;
};

// Lays out the compensated record. A ratio of 0 means no compensation: the
// plan then reproduces computePulseSeries's record exactly. Throws
// CompensationError for a ratio outside [0, 1] (or NaN), and, with a ratio,
// for a non-finite amplitude, a pulse duration or sample rate that is not
// positive and finite, an unknown pulse type, or a sampling too coarse to
// end at rest with the peaks within kCompensationPeakTolerance.
CompensationPlan planCompensation(const PulseParameters& params, double ratio);

// Samples [first, end) of the planned record into times[0 ..] (seconds) and
// amplitudes[0 ..]: for writing a record a piece at a time.
void computeCompensatedSamples(const PulseParameters& params, const CompensationPlan& plan,
                               int first, int end, double* times, double* amplitudes);

// Fills out.time (seconds), out.amplitude and out.count like
// computePulseSeries does, and returns the count.
int computeCompensatedSeries(const PulseParameters& params, const CompensationPlan& plan,
                             PulseSeries& out);
int computeCompensatedSeries(const PulseParameters& params, double ratio, PulseSeries& out);

}  // namespace korvex
