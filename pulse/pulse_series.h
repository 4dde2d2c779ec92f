// Parameters of one pulse and the sampled series generated from them.
#pragma once

#include <array>
#include <optional>
#include <vector>

namespace korvex {

// The values are list positions of the dialog, so any int can arrive here
// (-1 when nothing is selected); unknown shapes give a flat zero record.
enum class PulseType : int { HalfSine = 0, TerminalSawtooth = 1 };

// Anything but Milliseconds is treated as Seconds.
enum class TimeUnit : int { Milliseconds = 0, Seconds = 1 };

inline constexpr int kMaxSamples = 2'000'000;

struct PulseParameters {
    double amplitude = 0.0;
    double pulseDuration = 0.0;  // in timeUnit
    double totalDuration = 0.0;  // in timeUnit
    double sampleRate = 0.0;     // samples per timeUnit
    PulseType pulseType = PulseType::HalfSine;
    TimeUnit timeUnit = TimeUnit::Milliseconds;
};

struct PulseSeries {
    std::array<double, kMaxSamples> time;       // seconds
    std::array<double, kMaxSamples> amplitude;  // units of the amplitude input
    int count = 0;                              // valid entries, may be <= 0
};

// The one series of the process: static storage, overwritten by each
// calculation, so a two-million-sample run never allocates.
extern PulseSeries pulseSeries;

// pi as atan2(0, -1), computed once at start-up.
extern const double kPi;

// Sample interval and count for the parameters, without generating samples.
struct SamplePlan {
    double dt = 0.0;   // in the selected time unit
    int count = 0;     // what computePulseSeries returns
    bool cut = false;  // the span held more than kMaxSamples samples
};
SamplePlan planSamples(const PulseParameters& params);

// Fills pulseSeries and returns the sample count (also stored in it).
int computePulseSeries(const PulseParameters& params);

// Samples [first, end) of the plan's series, exactly as computePulseSeries
// stores them, into times[0 ..] and amplitudes[0 ..]: for working through
// a record a piece at a time.
void computePulseSamples(const PulseParameters& params, const SamplePlan& plan, int first, int end,
                         double* times, double* amplitudes);

// The amplitudes computePulseSeries gives, in storage of the caller's own
// (for work on another thread while pulseSeries may be overwritten).
std::vector<double> pulseAmplitudes(const PulseParameters& params);

// When the record is cut at kMaxSamples: the time in seconds that it covers.
std::optional<double> cutCoverageSeconds(const PulseParameters& params);

}  // namespace korvex
