#include "analysis/synthesis/synthesis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "pulse/number_text.h"
#include "pulse/parallel.h"

namespace korvex {
namespace {

constexpr int kMaxHalfCycles = 31;
// The scaling step, as a power of the ratio: below 1 damps the swings that
// neighbouring wavelets' shared frequencies cause.
constexpr double kStep = 0.7;
// A wavelet scaled below this share of its first amplitude while its
// frequency is still too high is not what holds the spectrum up there: it
// is turned over, at kTurnedShare of that amplitude, to cancel its neighbours.
constexpr double kTurnBelow = 0.1;
constexpr double kTurnedShare = 0.1;
// Delays fall in the first share of the room a wavelet has, so that the
// drive is a shock, not a noise; every kRedrawEvery spectra the wavelets at
// frequencies still outside the band are given new delays.
constexpr double kDelayShare = 0.3;
constexpr int kRedrawEvery = 40;

// Uniform in [0, 1) from the top 53 bits: the same on every library, unlike
// the standard distributions.
double uniform(std::mt19937_64& random) {
    return static_cast<double>(random() >> 11) * 0x1p-53;
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
        throw SynthesisError(SynthesisInput::Duration,
                             "the duration must be positive and finite, "
                             "got " +
                                 humanText(s.durationS));
    }
    const double samples = std::floor(s.durationS * s.sampleRateHz * (1 + 1e-12)) + 1;
    if (!(samples <= static_cast<double>(kMaxDriveSamples))) {
        throw SynthesisError(SynthesisInput::Duration,
                             "the drive would have " + humanText(samples) + " samples; at most " +
                                 std::to_string(kMaxDriveSamples) + " can be synthesised");
    }
    return static_cast<std::int64_t>(samples);
}

// The peak response at its own frequency of each unit wavelet alone, for a
// first guess at the amplitudes.
std::vector<double> ownGains(const SrsPlan& plan, const std::vector<std::vector<double>>& unit,
                             unsigned threads) {
    std::vector<double> gains(unit.size());
    parallelFor(unit.size(), threads, [&](std::size_t k, unsigned) {
        SrsPlan one = plan;
        one.frequencies = {plan.frequencies[k]};
        gains[k] = computeShockSpectrum(unit[k], one, 1).front().maximax;
    });
    return gains;
}

// Where in its room a wavelet starts.
std::int64_t drawDelay(std::mt19937_64& random, std::int64_t room) {
    return std::min(room, static_cast<std::int64_t>(uniform(random) * kDelayShare *
                                                    static_cast<double>(room + 1)));
}

}  // namespace

int waveletHalfCycles(double frequencyHz, double durationS) {
    // The odd N with N / (2 f) <= durationS / 2.
    const double fit = std::floor(frequencyHz * durationS);
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
    SynthesisResult result;
    result.intervalS = 1.0 / s.sampleRateHz;
    const std::int64_t count = driveCount(s, result.intervalS);
    try {
        result.plan = planTargetSpectrum(s.target, s.q, s.perOctave, result.intervalS);
    } catch (const TargetError& e) {
        throw SynthesisError(SynthesisInput::Target, e.what());
    } catch (const SrsSettingError& e) {
        throw SynthesisError(inputOf(e.setting()), e.what());
    }
    const std::vector<double>& frequencies = result.plan.frequencies;

    // The layout: every wavelet ends before the last sample, which stays 0.
    std::mt19937_64 random(s.seed);
    std::vector<std::vector<double>> unit(frequencies.size());
    for (double f : frequencies) {
        Wavelet w;
        w.frequencyHz = f;
        w.halfCycles = waveletHalfCycles(f, s.durationS);
        const std::int64_t length = waveletSampleCount(f, w.halfCycles, result.intervalS);
        const std::int64_t room = count - 1 - length;
        if (room < 0) {
            throw SynthesisError(SynthesisInput::Duration,
                                 "the drive, " + humanText(s.durationS) + " s (" +
                                     std::to_string(count) + " samples), is too short for the " +
                                     "wavelet at " + humanText(f, 4) + " Hz, which needs " +
                                     std::to_string(length + 1) + " samples (" +
                                     std::to_string(w.halfCycles) + " half-cycles, " +
                                     humanText(w.durationS(), 4) + " s)");
        }
        w.delay = drawDelay(random, room);
        w.amplitude = (random() >> 63) != 0 ? -1.0 : 1.0;
        result.wavelets.push_back(w);
    }
    parallelFor(unit.size(), s.threads, [&](std::size_t k, unsigned) {
        unit[k] =
            sampleUnitWavelet(frequencies[k], result.wavelets[k].halfCycles, result.intervalS);
    });

    std::vector<double> targets(frequencies.size());
    for (std::size_t k = 0; k < targets.size(); ++k) targets[k] = s.target.levelAt(frequencies[k]);
    const std::vector<double> gains = ownGains(result.plan, unit, s.threads);
    for (std::size_t k = 0; k < targets.size(); ++k)
        result.wavelets[k].amplitude *= targets[k] / gains[k];

    // Scaling each wavelet by the ratio at its own frequency converges
    // because the spectrum at a frequency owes most to the wavelet there.
    std::vector<double> firstAmplitudes;
    for (const Wavelet& w : result.wavelets) firstAmplitudes.push_back(w.amplitude);
    const double aim = 0.5 * (s.tolerance.highDb - s.tolerance.lowDb);  // the band's middle
    double bestMargin = -std::numeric_limits<double>::infinity();
    std::vector<Wavelet> current = result.wavelets;
    for (int it = 1; it <= s.maxIterations; ++it) {
        std::vector<double> drive = sumWavelets(current, unit, count);
        std::vector<SrsPoint> spectrum = computeShockSpectrum(drive, result.plan, s.threads);
        TargetCheck check = judgeTarget(spectrum, s.target, s.tolerance);
        result.iterations = it;
        std::vector<Wavelet> next = current;
        for (std::size_t k = 0; k < next.size(); ++k) {
            const TargetPointCheck& p = check.points[k];
            double& a = next[k].amplitude;
            a *= std::pow(10.0, -kStep * (p.errorDb - aim) / 20.0);
            const double first = std::fabs(firstAmplitudes[k]);
            if (p.errorDb > s.tolerance.highDb && std::fabs(a) < kTurnBelow * first) {
                a = -std::copysign(kTurnedShare * first, a);
            }
            if (it % kRedrawEvery == 0 && !(p.marginDb >= 0.0)) {
                next[k].delay = drawDelay(random, count - 1 - std::ssize(unit[k]));
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

}  // namespace korvex
