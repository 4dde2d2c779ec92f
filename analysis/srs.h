// Shock response spectra: the peak responses of single-degree-of-freedom
// systems, from rest, with the record as base acceleration, over the record
// and the free vibration after it.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvex {

// Which response the spectrum gives. With z the displacement of the mass
// relative to the base and w its natural angular frequency:
enum class SrsKind {
    Acceleration,    // the mass's absolute acceleration, in the record's units
    PseudoVelocity,  // w z, in the record's units x s
    Displacement,    // z, in the record's units x s^2
};

// What the caller asks for; unset ends of the range take their defaults.
struct SrsSettings {
    double q = 10.0;               // damping ratio 1 / (2Q)
    std::optional<double> fromHz;  // default 10 Hz
    std::optional<double> toHz;    // default a tenth of the sample rate
    double perOctave = 12.0;       // an integer from 1 to 48
    SrsKind kind = SrsKind::Acceleration;
};

// Interval: the record's sampling (too fine to filter). Count: from, to and
// per-octave together ask for too many frequencies.
enum class SrsSetting { Q, From, To, PerOctave, Interval, Count };

// More frequencies than any spectrum needs, and few enough to compute.
inline constexpr int kMaxSrsFrequencies = 10'000;

// A setting that cannot be used, with the reason in words.
class SrsSettingError : public std::invalid_argument {
  public:
    SrsSettingError(SrsSetting setting, const std::string& message)
        : std::invalid_argument(message), setting_(setting) {}
    SrsSetting setting() const { return setting_; }

  private:
    SrsSetting setting_;
};

// Checked settings with the defaults filled in, and the frequencies
// from x 2^(k/N) up to `to` (with a relative slack of 1e-9).
struct SrsPlan {
    SrsKind kind = SrsKind::Acceleration;
    double q = 10.0;
    double fromHz = 0.0;
    double toHz = 0.0;
    int perOctave = 12;
    double intervalS = 0.0;
    std::vector<double> frequencies;
};

// Throws SrsSettingError for Q <= 0.5, from <= 0, to < from, to >= half the
// sample rate, a count per octave that is not an integer from 1 to 48, more
// than kMaxSrsFrequencies frequencies, or a lowest frequency whose filter
// is not finite or does not decay in double precision.
SrsPlan planShockSpectrum(const SrsSettings& settings, double intervalS);

// The ramp-invariant recursive filter for one natural frequency and kind:
// y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2], exact at
// the samples for an input that is linear between them.
struct SrsFilter {
    double b0, b1, b2, a1, a2;
};
SrsFilter srsFilter(double frequencyHz, double intervalS, double q,
                    SrsKind kind = SrsKind::Acceleration);

struct SrsPoint {
    static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    double frequencyHz = kNone;
    double positive = kNone;  // largest response
    double negative = kNone;  // magnitude of the smallest response
    double maximax = kNone;   // the larger of the two
};

// How far a spectrum has come, for a progress display: `done` grows to
// `total` filter steps (less when systems ring down early).
struct SrsProgress {
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> total{0};
};

// One point per planned frequency, over every sample and the free vibration
// after the last, as long as it could raise a peak. Any non-finite sample,
// or none at all, makes every peak NaN. `threads` 0 uses every core. Once
// `*cancel` turns true the work ends soon, with an unusable result.
std::vector<SrsPoint> computeShockSpectrum(std::span<const double> samples, const SrsPlan& plan,
                                           unsigned threads = 0,
                                           const std::atomic<bool>* cancel = nullptr,
                                           SrsProgress* progress = nullptr);

}  // namespace korvex
