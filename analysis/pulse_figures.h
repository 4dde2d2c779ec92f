// The figures an engineer checks a pulse by: sampling, peak, velocity change.
#pragma once

#include "pulse/pulse_series.h"

namespace korvex {

struct PulseFigures {
    int samples = 0;
    double sampleInterval = 0.0;  // s: the step of the time column
    double record = 0.0;          // s: samples x interval
    bool cut = false;             // the record was cut at kMaxSamples
    double peakAmplitude = 0.0;   // signed; the first sample of largest magnitude
    double peakTime = 0.0;        // s, as stored in the time column
    // Trapezoidal integral of the samples, in amplitude units x s.
    double velocityChange = 0.0;
    // The continuous pulse's: 2AT/pi (half-sine), AT/2 (terminal sawtooth).
    double velocityChangeIdeal = 0.0;
};

// The sample interval in seconds.
double sampleIntervalSeconds(const PulseParameters& params);

// Figures of `series` as computed from `params`. A NaN sample makes the peak
// and the velocity change NaN.
PulseFigures computePulseFigures(const PulseSeries& series, const PulseParameters& params);

}  // namespace korvex
