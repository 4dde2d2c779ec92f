// A drive for a shaker whose shock response spectrum meets a required one:
// one wavelet per spectrum frequency, delayed at random (fixed by a seed)
// and scaled over and over until the spectrum lies inside the band.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/synthesis/srs_target.h"
#include "analysis/synthesis/wavelet.h"

namespace korvex {

struct SynthesisSettings {
    SpectrumTarget target;
    DbTolerance tolerance{1.0, 1.0};
    double q = 10.0;
    int perOctave = 12;
    double sampleRateHz = 0.0;
    double durationS = 0.0;
    std::uint64_t seed = 1;
    int maxIterations = 60;  // spectra per attempt
    int attempts = 8;        // layouts tried, each from its own seed
    unsigned threads = 0;    // 0: every core
};

// Which setting makes the drive impossible, and why in words.
enum class SynthesisInput { Target, SampleRate, Duration, Q, PerOctave, MaxIterations, Attempts };

class SynthesisError : public std::invalid_argument {
  public:
    SynthesisError(SynthesisInput input, const std::string& message)
        : std::invalid_argument(message), input_(input) {}
    SynthesisInput input() const { return input_; }

  private:
    SynthesisInput input_;
};

// The most samples a drive may have, as for a generated pulse.
inline constexpr std::int64_t kMaxDriveSamples = 2'000'000;

struct SynthesisResult {
    double intervalS = 0.0;
    std::vector<double> drive;  // sample i at i x intervalS; first and last are 0
    std::vector<Wavelet> wavelets;
    SrsPlan plan;  // the spectrum's frequencies, one per wavelet
    std::vector<SrsPoint> spectrum;
    TargetCheck check;       // of `spectrum`
    int iterations = 0;      // spectra computed while scaling
    int attempt = 0;         // which attempt, from 1
    bool converged = false;  // check.passed()
};

// The number of half-cycles of the wavelet at f in a drive of `durationS`:
// odd, from 3 to 31, fewer for low frequencies so that it takes at most
// nine tenths of the drive (and 3 when even that is longer).
int waveletHalfCycles(double frequencyHz, double durationS);

// Lays out the wavelets (frequencies from planTargetSpectrum, half-cycles
// from waveletHalfCycles, delays and signs from the seed) and scales them,
// each by a power of (target / achieved) at its frequency, or, every few
// spectra, those near or outside the band together (joint_step.h), until
// the spectrum meets the band or maxIterations spectra were computed. Up to
// `attempts` layouts are tried, one after another; the first that meets the
// band is returned, else the best: the same result for the same settings on
// any machine and thread count (threads share each joint step's spectra). Throws SynthesisError for
// a target at or above half the sample rate, a drive too short for the
// lowest wavelet, or other unusable settings.
SynthesisResult synthesizeDrive(const SynthesisSettings& settings);

// The wavelets' samples summed into a drive of `count` samples.
std::vector<double> sumWavelets(const std::vector<Wavelet>& wavelets,
                                const std::vector<std::vector<double>>& unitSamples,
                                std::int64_t count);

}  // namespace korvex
