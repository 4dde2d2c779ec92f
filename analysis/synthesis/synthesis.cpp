#include "analysis/synthesis/synthesis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "analysis/synthesis/joint_step.h"
#include "pulse/number_text.h"
#include "pulse/parallel.h"

namespace korvex {
namespace {

constexpr int kMaxHalfCycles = 31;
// A wavelet lasts at most this share of the drive, so that it has room to move.
constexpr double kLongestShare = 0.9;
// The scaling step, as a power of the ratio, first kStep, then shrinking by
// kStepDecay a spectrum down to kStepFloor: the spectrum at a frequency owes
// much to the neighbouring wavelets too, and full steps make them swing.
constexpr double kStep = 0.7;
constexpr double kStepDecay = 0.99;
constexpr double kStepFloor = 0.2;
// A wavelet scaled below kTurnBelow of its first amplitude while its
// frequency is still too high is not what holds the spectrum up there: it
// is turned over, at kTurnedShare of that amplitude, to cancel its neighbours.
constexpr double kTurnBelow = 0.1;
constexpr double kTurnedShare = 0.1;
// Delays fall in the first share of the room a wavelet has, so that the
// drive is a shock, not a noise; every kRedrawEvery spectra the wavelets at
// frequencies still outside the band are given new delays.
constexpr double kDelayShare = 0.3;
constexpr int kRedrawEvery = 40;
// Every kJointEvery spectra from the kJointFrom-th, the frequencies near or
// outside the band take a joint step (joint_step.h) instead.
constexpr int kJointFrom = 5;
constexpr int kJointEvery = 3;
// Each attempt's seed: the user's seed, then steps of the golden ratio's
// 64-bit fraction, so that attempts draw unrelated layouts.
constexpr std::uint64_t kSeedStep = 0x9E3779B97F4A7C15ull;

// Uniform in [0, 1) from the top 53 bits: the same on every library, unlike
// the standard distributions.
double uniform(std::mt19937_64& random) {
    return static_cast<double>(random() >> 11) * 0x1p-53;
}

std::int64_t drawDelay(std::mt19937_64& random, std::int64_t room) {
    const double share = uniform(random) * kDelayShare * static_cast<double>(room + 1);
    return std::min(room, static_cast<std::int64_t>(share));
}

SynthesisInput inputOf(SrsSetting setting) {
    switch (setting) {
        case SrsSetting::Q:
            return SynthesisInput::Q;
        case SrsSetting::PerOctave:
        case SrsSetting::Count:
            return SynthesisInput::PerOctave;
        case SrsSetting::Interval:
            return SynthesisInput::SampleRate;
        case SrsSetting::From:
        case SrsSetting::To:
            return SynthesisInput::Target;
    }
    return SynthesisInput::Target;
}

// The drive's sample count: the samples at i x interval <= duration.
std::int64_t driveCount(const SynthesisSettings& s, double interval) {
    if (!(s.sampleRateHz > 0.0 && std::isfinite(s.sampleRateHz) && std::isfinite(interval))) {
        throw SynthesisError(
            SynthesisInput::SampleRate,
            "the sample rate must be positive and finite, got " + humanText(s.sampleRateHz));
    }
    if (!(s.durationS > 0.0 && std::isfinite(s.durationS))) {
        throw SynthesisError(
            SynthesisInput::Duration,
            "the duration must be positive and finite, got " + humanText(s.durationS));
    }
    const double samples = std::floor(s.durationS * s.sampleRateHz * (1 + 1e-12)) + 1;
    if (!(samples <= static_cast<double>(kMaxDriveSamples))) {
        throw SynthesisError(SynthesisInput::Duration,
                             "the drive would have " + humanText(samples) + " samples; at most " +
                                 std::to_string(kMaxDriveSamples) + " can be synthesised");
    }
    return static_cast<std::int64_t>(samples);
}

// What every attempt shares: the plan, the unit wavelets and their first
// amplitudes (target over the wavelet's own peak response, alone).
struct Layout {
    SrsPlan plan;
    std::int64_t count = 0;
    std::vector<int> halfCycles;
    std::vector<std::vector<double>> unit;
    std::vector<double> targets, firstAmplitudes;
};

Layout layOut(const SynthesisSettings& s, double interval) {
    Layout l;
    l.count = driveCount(s, interval);
    try {
        l.plan = planTargetSpectrum(s.target, s.q, s.perOctave, interval);
    } catch (const TargetError& e) {
        throw SynthesisError(SynthesisInput::Target, e.what());
    } catch (const SrsSettingError& e) {
        throw SynthesisError(inputOf(e.setting()), e.what());
    }
    const std::vector<double>& frequencies = l.plan.frequencies;
    for (double f : frequencies) {
        const int n = waveletHalfCycles(f, s.durationS);
        // Every wavelet ends before the last sample, which stays 0.
        const std::int64_t length = waveletSampleCount(f, n, interval);
        if (length > l.count - 1) {
            throw SynthesisError(SynthesisInput::Duration,
                                 "the drive, " + humanText(s.durationS) + " s (" +
                                     std::to_string(l.count) + " samples), is too short for the " +
                                     "wavelet at " + humanText(f, 4) + " Hz, which needs " +
                                     std::to_string(length + 1) + " samples (" + std::to_string(n) +
                                     " half-cycles, " + humanText(n / (2 * f), 4) + " s)");
        }
        l.halfCycles.push_back(n);
        l.targets.push_back(s.target.levelAt(f));
    }
    l.unit.resize(frequencies.size());
    l.firstAmplitudes.resize(frequencies.size());
    parallelFor(frequencies.size(), s.threads, [&](std::size_t k, unsigned) {
        l.unit[k] = sampleUnitWavelet(frequencies[k], l.halfCycles[k], interval);
        SrsPlan one = l.plan;
        one.frequencies = {frequencies[k]};
        l.firstAmplitudes[k] = l.targets[k] / computeShockSpectrum(l.unit[k], one, 1)[0].maximax;
    });
    return l;
}

// One attempt: delays and signs from `seed`, then scaling until the band is
// met or `maxIterations` spectra were computed. The best drive seen is kept.
SynthesisResult attempt(const SynthesisSettings& s, const Layout& l, std::uint64_t seed) {
    SynthesisResult result;
    std::mt19937_64 random(seed);
    std::vector<Wavelet> current;
    for (std::size_t k = 0; k < l.unit.size(); ++k) {
        Wavelet w;
        w.frequencyHz = l.plan.frequencies[k];
        w.halfCycles = l.halfCycles[k];
        w.delay = drawDelay(random, l.count - 1 - std::ssize(l.unit[k]));
        w.amplitude = (random() >> 63) != 0 ? -l.firstAmplitudes[k] : l.firstAmplitudes[k];
        current.push_back(w);
    }
    const double aim = 0.5 * (s.tolerance.highDb - s.tolerance.lowDb);  // the band's middle
    const JointInputs joint{l.plan, l.unit, l.firstAmplitudes, s.tolerance, aim, s.threads};
    double bestMargin = -std::numeric_limits<double>::infinity();
    for (int it = 1; it <= s.maxIterations; ++it) {
        std::vector<double> drive = sumWavelets(current, l.unit, l.count);
        std::vector<SrsPoint> spectrum = computeShockSpectrum(drive, l.plan, 1);
        TargetCheck check = judgeTarget(spectrum, s.target, s.tolerance);
        result.iterations = it;
        std::vector<Wavelet> next = current;
        const bool jointly = it >= kJointFrom && it % kJointEvery == 0 && !check.passed() &&
                             jointStep(joint, drive, check, next);
        const double step = std::max(kStepFloor, kStep * std::pow(kStepDecay, it - 1));
        for (std::size_t k = 0; k < next.size() && !jointly; ++k) {
            const TargetPointCheck& p = check.points[k];
            double& a = next[k].amplitude;
            a *= std::pow(10.0, -step * (p.errorDb - aim) / 20.0);
            const double first = l.firstAmplitudes[k];
            if (p.errorDb > s.tolerance.highDb && std::fabs(a) < kTurnBelow * first) {
                a = -std::copysign(kTurnedShare * first, a);
            }
            if (it % kRedrawEvery == 0 && !(p.marginDb >= 0.0)) {
                next[k].delay = drawDelay(random, l.count - 1 - std::ssize(l.unit[k]));
            }
        }
        // NaN margins (a spectrum that overflowed) are never the best.
        if (check.worstMarginDb > bestMargin || result.drive.empty()) {
            bestMargin = check.worstMarginDb;
            result.wavelets = std::move(current);
            result.drive = std::move(drive);
            result.spectrum = std::move(spectrum);
            result.check = std::move(check);
            if (result.check.passed()) break;
        }
        current = std::move(next);
    }
    result.converged = result.check.passed();
    return result;
}

}  // namespace

int waveletHalfCycles(double frequencyHz, double durationS) {
    const double fit = std::floor(kLongestShare * 2 * frequencyHz * durationS);
    int n = static_cast<int>(std::min<double>(fit, kMaxHalfCycles));
    if (n % 2 == 0) --n;
    return std::max(n, 3);
}

std::vector<double> sumWavelets(const std::vector<Wavelet>& wavelets,
                                const std::vector<std::vector<double>>& unitSamples,
                                std::int64_t count) {
    std::vector<double> drive(static_cast<std::size_t>(count), 0.0);
    for (std::size_t k = 0; k < wavelets.size(); ++k) {
        const double a = wavelets[k].amplitude;
        double* out = drive.data() + wavelets[k].delay;
        const std::vector<double>& u = unitSamples[k];
        for (std::size_t j = 0; j < u.size(); ++j) out[j] += a * u[j];
    }
    return drive;
}

SynthesisResult synthesizeDrive(const SynthesisSettings& s) {
    if (s.target.points.empty()) {
        throw SynthesisError(SynthesisInput::Target, "the target has no breakpoints");
    }
    if (!(s.maxIterations >= 1)) {
        throw SynthesisError(SynthesisInput::MaxIterations, "at least one iteration is needed");
    }
    if (!(s.attempts >= 1)) {
        throw SynthesisError(SynthesisInput::Attempts, "at least one attempt is needed");
    }
    const double interval = 1.0 / s.sampleRateHz;
    const Layout layout = layOut(s, interval);

    // Attempts one after another, each from its own seed: the first that
    // meets the band, or else the best of all.
    SynthesisResult result;
    for (int i = 0; i < s.attempts; ++i) {
        SynthesisResult tried =
            attempt(s, layout, s.seed + kSeedStep * static_cast<std::uint64_t>(i));
        tried.attempt = i + 1;
        const bool better = i == 0 || tried.check.worstMarginDb > result.check.worstMarginDb;
        if (better) result = std::move(tried);
        if (result.converged) break;
    }
    result.intervalS = interval;
    result.plan = layout.plan;
    return result;
}
}  // namespace korvex
