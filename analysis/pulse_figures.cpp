#include "analysis/pulse_figures.h"

#include <cmath>
#include <limits>

namespace korvex {

double sampleIntervalSeconds(const PulseParameters& params) {
    const double dt = planSamples(params).dt;
    return params.timeUnit == TimeUnit::Milliseconds ? dt * 0.001 : dt;
}

PulseFigures computePulseFigures(const PulseSeries& series, const PulseParameters& params) {
    PulseFigures f;
    const SamplePlan plan = planSamples(params);
    const bool ms = params.timeUnit == TimeUnit::Milliseconds;
    f.samples = series.count > 0 ? series.count : 0;
    f.sampleInterval = ms ? plan.dt * 0.001 : plan.dt;
    f.record = static_cast<double>(f.samples) * f.sampleInterval;
    f.cut = plan.cut;

    const double* a = series.amplitude.data();
    if (f.samples == 0) {
        f.peakAmplitude = f.peakTime = std::numeric_limits<double>::quiet_NaN();
    } else {
        int peak = 0;
        for (int i = 1; i < f.samples; ++i) {
            if (std::isnan(a[peak])) break;  // NaN outranks every number
            if (std::isnan(a[i]) || std::fabs(a[i]) > std::fabs(a[peak])) peak = i;
        }
        f.peakAmplitude = a[peak];
        f.peakTime = series.time[peak];
    }

    double sum = 0.0;
    for (int i = 0; i + 1 < f.samples; ++i) sum += (a[i] + a[i + 1]) / 2 * f.sampleInterval;
    f.velocityChange = sum;

    // A pulse of no length (or a negative one) is no pulse at all.
    const double T = ms ? params.pulseDuration * 0.001 : params.pulseDuration;
    const double A = params.amplitude;
    if (T > 0) {
        if (params.pulseType == PulseType::HalfSine) f.velocityChangeIdeal = 2 * A * T / kPi;
        if (params.pulseType == PulseType::TerminalSawtooth) f.velocityChangeIdeal = A * T / 2;
    }
    return f;
}

}  // namespace korvex
