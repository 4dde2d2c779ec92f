#include "pulse/pulse_series.h"

#include <cmath>

#include "pulse/file_sink.h"

namespace korvex {

PulseSeries pulseSeries;

// The series is filled in one pass; huge pages spare most of its faults.
static const bool kSeriesAdvised = (adviseLargeArray(&pulseSeries, sizeof pulseSeries), true);

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

// Samples [first, end) into times[0 ..] (when WithTimes) and amps[0 ..].
template <bool WithTimes>
void generate(const PulseParameters& params, const SamplePlan& plan, int first, int end,
              double* times, double* amps) {
    const double dt = plan.dt;
    const double amp = params.amplitude;
    const double pulseDuration = params.pulseDuration;
    const bool milliseconds = params.timeUnit == TimeUnit::Milliseconds;

    times -= first;
    amps -= first;
    for (int i = first; i < end; ++i) {
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
    generate<true>(params, plan, 0, plan.count, pulseSeries.time.data(),
                   pulseSeries.amplitude.data());
    pulseSeries.count = plan.count;
    return plan.count;
}

std::vector<double> pulseAmplitudes(const PulseParameters& params) {
    const SamplePlan plan = planSamples(params);
    std::vector<double> amps(plan.count > 0 ? static_cast<std::size_t>(plan.count) : 0);
    generate<false>(params, plan, 0, plan.count, nullptr, amps.data());
    return amps;
}

void computePulseSamples(const PulseParameters& params, const SamplePlan& plan, int first, int end,
                         double* times, double* amplitudes) {
    generate<true>(params, plan, first, end, times, amplitudes);
}

std::optional<double> cutCoverageSeconds(const PulseParameters& params) {
    const SamplePlan plan = planSamples(params);
    if (!plan.cut) return std::nullopt;
    const double covered = static_cast<double>(kMaxSamples) * plan.dt;
    return params.timeUnit == TimeUnit::Milliseconds ? covered * 0.001 : covered;
}

}  // namespace korvex
