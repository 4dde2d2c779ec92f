#include "pulse/pulse_series.h"

#include <cmath>

namespace korvex {

PulseSeries pulseSeries;

const double kPi = std::atan2(0.0, -1.0);

SamplePlan planSamples(const PulseParameters& params) {
    SamplePlan plan;
    plan.dt = 1.0 / params.sampleRate;

    // The record is never shorter than the pulse; a NaN on either side also
    // falls back to the pulse duration.
    double span = params.totalDuration;
    if (!(params.totalDuration >= params.pulseDuration)) span = params.pulseDuration;

    // Clamp before converting so the cast never leaves the int range.
    const double q = span / plan.dt;
    constexpr double kMax = kMaxSamples;
    if (q >= kMax) {
        plan.count = kMaxSamples;
        plan.cut = q >= kMax + 1.0;
    } else if (q > -2147483648.0) {
        plan.count = static_cast<int>(q);  // truncation toward zero
    } else {
        plan.count = 0;  // NaN, or at or below -2^31
    }
    return plan;
}

namespace {

// Samples 0 to count - 1 into `times` (when WithTimes) and `amps`.
template <bool WithTimes>
void generate(const PulseParameters& params, const SamplePlan& plan, double* times, double* amps) {
    const double dt = plan.dt;
    const double amp = params.amplitude;
    const double pulseDuration = params.pulseDuration;
    const bool milliseconds = params.timeUnit == TimeUnit::Milliseconds;

    for (int i = 0; i < plan.count; ++i) {
        // Multiplied, not accumulated, so every time is one rounding from exact.
        const double t = static_cast<double>(i) * dt;
        double a = 0.0;
        if (!(t > pulseDuration)) {
            switch (params.pulseType) {
                case PulseType::HalfSine:
                    a = amp * std::sin((t * kPi) / pulseDuration);
                    break;
                case PulseType::TerminalSawtooth:
                    a = (t * amp) / pulseDuration;
                    break;
                default:
                    break;
            }
        }
        if constexpr (WithTimes) times[i] = milliseconds ? t * 0.001 : t;
        amps[i] = a;
    }
}

}  // namespace

int computePulseSeries(const PulseParameters& params) {
    const SamplePlan plan = planSamples(params);
    generate<true>(params, plan, pulseSeries.time.data(), pulseSeries.amplitude.data());
    pulseSeries.count = plan.count;
    return plan.count;
}

std::vector<double> pulseAmplitudes(const PulseParameters& params) {
    const SamplePlan plan = planSamples(params);
    std::vector<double> amps(plan.count > 0 ? static_cast<std::size_t>(plan.count) : 0);
    generate<false>(params, plan, nullptr, amps.data());
    return amps;
}

std::optional<double> cutCoverageSeconds(const PulseParameters& params) {
    const SamplePlan plan = planSamples(params);
    if (!plan.cut) return std::nullopt;
    const double covered = static_cast<double>(kMaxSamples) * plan.dt;
    return params.timeUnit == TimeUnit::Milliseconds ? covered * 0.001 : covered;
}

}  // namespace korvex
