#include "pulse/compensation.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace korvex {
namespace {

// Record indices stay far below 2^53, so k x dt is exact in k and each
// index converts to double without rounding.
constexpr double kIndexLimit = 1e15;

// Past this many samples the layout is still computed, but not the
// sampling correction: the record is cut long before the post-pulse ends,
// and the sums would cost more than the record itself.
constexpr double kCorrectedSpanLimit = 2.0 * kMaxSamples;

double at(std::int64_t k, double dt) {
    return static_cast<double>(k) * dt;
}

// The smallest k >= lo for which `reached(k)` holds; `reached` is monotone
// in k and `guess` is within a step or two of the answer.
template <class Reached>
std::int64_t firstIndex(Reached reached, double guess, std::int64_t lo) {
    std::int64_t k = std::max(lo, static_cast<std::int64_t>(std::max(0.0, guess)));
    while (k > lo && reached(k - 1)) --k;
    while (!reached(k)) ++k;
    return k;
}

// Durations a (pre) and b (post) of half-sines of peak -P A, the pre-pulse
// ending at 0 and the post-pulse starting at D, that cancel a main pulse of
// area S and first moment M about 0 (a half-sine of peak c and length T has
// area 2cT/pi, centred on its middle):
//   area    S - (2PA/pi)(a + b) = 0                  =>  a + b = pi S / (2PA) = s
//   moment  M - (2PA/pi)(-a^2/2 + b(D + b/2)) = 0     =>  a^2 - 2bD - b^2 = -pi M / (PA) = -m
// and with a = s - b the squares cancel:  b = (s^2 + m) / (2(s + D)).
struct Durations {
    double pre, post;
};
Durations balancingDurations(double area, double moment, double ratio, double amplitude, double D) {
    const double s = (kPi * area) / (2.0 * ratio * amplitude);
    const double m = (kPi * moment) / (ratio * amplitude);
    const double post = (s * s + m) / (2.0 * (s + D));
    return {s - post, post};
}

// The same for the continuous pulses, in closed form.
//   Half-sine: S = 2AD/pi, M = SD/2, so s = D/P, m = D^2/P and a = b = D/(2P).
//   Terminal sawtooth n(t) = At/D: S = AD/2, M = AD^2/3, so s = pi D/(4P),
//   m = pi D^2/(3P), and b = (s^2 + m) / (2(s + D)) over the common
//   denominator 48P^2 becomes
//     b = pi D (3 pi + 16P) / (24P (pi + 4P)),  a = s - b = pi D (3 pi + 8P) / (24P (pi + 4P)).
//   The post-pulse is the longer: the sawtooth's area lies late in it.
Durations continuousDurations(PulseType type, double ratio, double D) {
    if (type == PulseType::HalfSine) {
        const double a = D / (2.0 * ratio);
        return {a, a};
    }
    const double denominator = 24.0 * ratio * (kPi + 4.0 * ratio);
    return {(kPi * D * (3.0 * kPi + 8.0 * ratio)) / denominator,
            (kPi * D * (3.0 * kPi + 16.0 * ratio)) / denominator};
}

// Sample counts as planSamples truncates them, without its cap.
std::int64_t requestedCount(double q) {
    if (!(q > 0.0)) return 0;
    return static_cast<std::int64_t>(std::min(q, kIndexLimit));
}

// The generator's main-pulse samples [0, end): their plain sum and their
// sum weighted by the sample index.
struct Sums {
    double plain = 0.0, weighted = 0.0;
};
Sums mainPulseSums(const PulseParameters& params, std::int64_t end) {
    const SamplePlan plan = planSamples(params);
    constexpr int kChunk = 1024;
    std::array<double, kChunk> times, amps;
    Sums sums;
    for (std::int64_t first = 0; first < end; first += kChunk) {
        const int n = static_cast<int>(std::min<std::int64_t>(kChunk, end - first));
        const int f = static_cast<int>(first);
        computePulseSamples(params, plan, f, f + n, times.data(), amps.data());
        for (int j = 0; j < n; ++j) {
            sums.plain += amps[j];
            sums.weighted += static_cast<double>(f + j) * amps[j];
        }
    }
    return sums;
}

// `offBy`: how far the peaks would stray, as a fraction, when known.
CompensationError tooCoarse(double offBy) {
    std::string message = "the sampling is too coarse to compensate this pulse";
    if (std::isfinite(offBy)) {
        char digits[32];
        const auto res = std::to_chars(digits, digits + sizeof digits, offBy * 100.0,
                                       std::chars_format::fixed, 1);
        message +=
            " (its compensation peaks would be off by " + std::string(digits, res.ptr) + " %)";
    }
    return CompensationError(CompensationInput::SampleRate, message + "; raise the sample rate");
}

}  // namespace

CompensationPlan planCompensation(const PulseParameters& params, double ratio) {
    CompensationPlan plan;
    const SamplePlan plain = planSamples(params);
    plan.dt = plain.dt;
    if (ratio == 0.0) {
        plan.count = plain.count;
        plan.cut = plain.cut;
        return plan;
    }
    if (!(ratio > 0.0 && ratio <= 1.0)) {
        throw CompensationError(CompensationInput::Ratio,
                                "the compensation ratio must be above 0 and at most 1");
    }
    const double A = params.amplitude;
    const double D = params.pulseDuration;
    const double dt = plan.dt;
    if (!std::isfinite(A)) {
        throw CompensationError(CompensationInput::Amplitude, "the amplitude must be finite");
    }
    if (!(D > 0.0 && std::isfinite(D))) {
        throw CompensationError(CompensationInput::PulseDuration,
                                "only a pulse of positive, finite duration can be compensated");
    }
    if (!(params.sampleRate > 0.0 && std::isfinite(params.sampleRate))) {
        throw CompensationError(CompensationInput::SampleRate,
                                "the sample rate must be positive and finite");
    }
    if (params.pulseType != PulseType::HalfSine &&
        params.pulseType != PulseType::TerminalSawtooth) {
        throw CompensationError(CompensationInput::PulseType, "unknown pulse shape");
    }

    plan.ratio = ratio;
    const Durations nominal = continuousDurations(params.pulseType, ratio, D);
    plan.continuousPre = nominal.pre;
    plan.continuousPost = nominal.post;
    const double span = (nominal.pre + D + nominal.post) / dt;
    if (!(D / dt < kIndexLimit)) {
        throw CompensationError(CompensationInput::PulseDuration,
                                "the pulse spans more than 10^15 samples");
    }
    if (!(span < kIndexLimit)) {
        throw CompensationError(CompensationInput::Ratio,
                                "the compensation pulses would span more than 10^15 samples");
    }
    // Peaks of the opposite sign; a zero amplitude gives +0 samples, as the
    // generator does.
    const double peak = A == 0.0 ? 0.0 : -ratio * A;

    // Main-pulse samples j < mainSamples: those the generator puts at t <= D.
    const std::int64_t mainSamples =
        firstIndex([&](std::int64_t j) { return at(j, dt) > D; }, D / dt, 0);
    const bool corrected = span <= kCorrectedSpanLimit && A != 0.0;
    Sums main;
    Durations laid = nominal;
    if (corrected) {
        // The sampled main pulse's area and moment, not the continuous one's:
        // chiefly for the sawtooth's drop, which the trapezoid rule spreads
        // over one interval (about A dt / 2 more area). Left to the scales
        // below, it would move the sawtooth's peaks by more than 1 % at 100
        // samples per pulse.
        main = mainPulseSums(params, mainSamples);
        laid = balancingDurations(main.plain * dt, main.weighted * dt * dt, ratio, A, D);
        if (!(laid.pre > 0.0 && laid.post > 0.0 && (laid.pre + D + laid.post) / dt < kIndexLimit)) {
            throw tooCoarse(NAN);
        }
    }
    plan.preDuration = laid.pre;
    plan.postDuration = laid.post;
    const double a = laid.pre, b = laid.post;
    // The record starts on the last sample at or before the pre-pulse's
    // start, so that the main pulse starts on a sample.
    const std::int64_t m = firstIndex([&](std::int64_t k) { return at(k, dt) >= a; }, a / dt, 0);
    const std::int64_t postSamplesEnd =
        firstIndex([&](std::int64_t j) { return at(j, dt) - D >= b; }, (D + b) / dt, mainSamples);
    plan.mainStart = m;
    plan.mainEnd = m + mainSamples;
    plan.postEnd = m + postSamplesEnd;
    plan.prePeak = plan.postPeak = peak;

    if (corrected) {
        // The record ends at rest when its samples' plain sum and their sum
        // weighted by index both vanish (trapezoid rule, zero at both ends):
        // two linear equations in the two compensation peaks. Index weights
        // count from the main pulse's start.
        Sums pre, post;
        for (std::int64_t k = 1; k < m; ++k) {
            const double s = std::sin((at(k, dt) * kPi) / a);
            pre.plain += s;
            pre.weighted -= static_cast<double>(k) * s;
        }
        for (std::int64_t j = mainSamples; j < postSamplesEnd; ++j) {
            const double s = std::sin(((at(j, dt) - D) * kPi) / b);
            post.plain += s;
            post.weighted += static_cast<double>(j) * s;
        }
        const double det = pre.plain * post.weighted - post.plain * pre.weighted;
        plan.prePeak = (post.plain * main.weighted - main.plain * post.weighted) / det;
        plan.postPeak = (main.plain * pre.weighted - pre.plain * main.weighted) / det;
        plan.preScale = plan.prePeak / peak;
        plan.postScale = plan.postPeak / peak;
        const double offBy =
            std::max(std::fabs(plan.preScale - 1.0), std::fabs(plan.postScale - 1.0));
        if (!(offBy <= kCompensationPeakTolerance)) throw tooCoarse(offBy);
    }

    // The record runs at least to the first zero sample after the post-pulse.
    const std::int64_t needed = plan.postEnd + 1;
    const std::int64_t full = std::max(requestedCount(params.totalDuration / dt), needed);
    plan.count = static_cast<int>(std::min<std::int64_t>(full, kMaxSamples));
    plan.cut = full > kMaxSamples;
    // Corrected, or nothing to correct.
    plan.endsAtRest = span <= kCorrectedSpanLimit && needed <= kMaxSamples;
    return plan;
}

void computeCompensatedSamples(const PulseParameters& params, const CompensationPlan& plan,
                               int first, int end, double* times, double* amplitudes) {
    const SamplePlan samplePlan{plan.dt, plan.count, plan.cut};
    if (plan.ratio == 0.0) {
        computePulseSamples(params, samplePlan, first, end, times, amplitudes);
        return;
    }
    if (end <= first) return;
    const double dt = plan.dt;
    const double D = params.pulseDuration;
    const std::int64_t m = plan.mainStart;
    const auto clip = [&](std::int64_t i) { return std::clamp<std::int64_t>(i, first, end); };
    const std::int64_t mainLo = clip(plan.mainStart), mainHi = clip(plan.mainEnd),
                       postHi = clip(plan.postEnd);

    // Before the main pulse, counting back from its start: the pre-pulse is
    // symmetric, so k intervals back is k intervals into it.
    for (std::int64_t i = first; i < mainLo; ++i) {
        const double u = at(m - i, dt);
        amplitudes[i - first] =
            u < plan.preDuration ? plan.prePeak * std::sin((u * kPi) / plan.preDuration) : 0.0;
    }
    // The main pulse is the generator's own samples (their times are
    // overwritten below).
    if (mainLo < mainHi) {
        computePulseSamples(params, samplePlan, static_cast<int>(mainLo - m),
                            static_cast<int>(mainHi - m), times + (mainLo - first),
                            amplitudes + (mainLo - first));
    }
    for (std::int64_t i = mainHi; i < postHi; ++i) {
        const double w = at(i - m, dt) - D;
        amplitudes[i - first] = plan.postPeak * std::sin((w * kPi) / plan.postDuration);
    }
    std::fill(amplitudes + (postHi - first), amplitudes + (end - first), 0.0);

    const bool milliseconds = params.timeUnit == TimeUnit::Milliseconds;
    for (int i = first; i < end; ++i) {
        const double t = static_cast<double>(i) * dt;
        times[i - first] = milliseconds ? t * 0.001 : t;
    }
}

int computeCompensatedSeries(const PulseParameters& params, const CompensationPlan& plan,
                             PulseSeries& out) {
    computeCompensatedSamples(params, plan, 0, plan.count, out.time.data(), out.amplitude.data());
    out.count = plan.count;
    return plan.count;
}

int computeCompensatedSeries(const PulseParameters& params, double ratio, PulseSeries& out) {
    return computeCompensatedSeries(params, planCompensation(params, ratio), out);
}

}  // namespace korvex
