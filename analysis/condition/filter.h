// The record's filters: a two-pole Butterworth section run forward and then
// backward (phaseless, four poles), as the channel frequency classes of
// impact-test instrumentation define it, and the same for a plain corner.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace korvex {

// y[n] = a0 x[n] + a1 x[n-1] + a2 x[n-2] + b1 y[n-1] + b2 y[n-2], with the
// signs of the published difference equation (b1, b2 added, not subtracted).
struct Biquad {
    double a0 = 1.0, a1 = 0.0, a2 = 0.0, b1 = 0.0, b2 = 0.0;
    double dcGain() const { return (a0 + a1 + a2) / (1.0 - b1 - b2); }
};

// The two-pole low pass of SAE J211/1 (MAR95) Appendix C, designed at
// `designHz`: wd = 2 pi designHz, wa = tan(wd T / 2). For channel frequency
// class C the design frequency is 2.0775 C (same appendix).
Biquad lowPassSection(double designHz, double intervalS);
// The two-pole high pass with the same poles: (1, -2, 1) / (1 + sqrt2 wa + wa^2).
Biquad highPassSection(double designHz, double intervalS);

// Design frequency whose forward-and-backward run is 3 dB down at cornerHz:
// each pass is then 1.5 dB down, where |H|^2 = 1 / (1 + r^4) gives
// r^4 = sqrt2 - 1; r is taken on the prewarped (tan) axis so it holds
// exactly for the digital filter. Low pass: r = f / fd; high pass: fd / f.
double lowPassDesignHz(double cornerHz, double intervalS);
double highPassDesignHz(double cornerHz, double intervalS);

// SAE J211/1 Appendix C: design frequency = 2.0775 x the class.
inline constexpr double kCfcDesignFactor = 2.0775;

// A low pass asked for by name: "CFC60", "CFC180", "CFC600", "CFC1000"
// (J211/1's classes), or a plain corner in Hz. classHz is 0 for a corner.
struct LowPassChoice {
    std::string name;     // as given: "CFC1000" or "500"
    double classHz = 0;   // the class number, or 0
    double cornerHz = 0;  // a plain corner (-3 dB of the whole run), or 0
};
// The section for the choice at this interval.
Biquad lowPassFor(const LowPassChoice& choice, double intervalS);

// Samples of padding at each end: odd reflection about the end sample
// (2 x[0] - x[k]), and the filter started in its steady state for the first
// padded value, as if the record had stood there forever. At most n - 1.
std::size_t padSamples(double padS, double intervalS, std::size_t n);

// Forward then backward over the padded record into out (out.size() ==
// in.size(); out may alias in). The long passes are cut into segments run
// side by side, each corrected by the exact homogeneous response from the
// true state at its start; `plain` runs the one recursion, the reference.
void filtfilt(const Biquad& section, std::span<const double> in, std::span<double> out,
              std::size_t pad, bool plain = false);

}  // namespace korvex
