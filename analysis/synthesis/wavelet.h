// The drive's building block: an odd number of half-cycles of a sine under a
// half-sine window, which starts and ends at rest; sampled with a correction
// so that its samples end at rest too.
#pragma once

#include <cstdint>
#include <vector>

namespace korvex {

struct Wavelet {
    double frequencyHz = 0.0;
    int halfCycles = 3;      // odd, 3 or more
    std::int64_t delay = 0;  // first sample, in the drive
    double amplitude = 0.0;  // signed peak of the sine before the window
    double durationS() const { return halfCycles / (2.0 * frequencyHz); }
};

// Samples at t = j x interval, j = 0 .. while t <= the wavelet's duration, of
//   sin(2 pi f t / N) sin(2 pi f t)   (unit amplitude),
// whose velocity and displacement end at zero for odd N. Sampled, they end
// off zero by a little; a window-shaped term and a window times a ramp, each
// about the size of the rounding of the sampling, are added so that the
// samples' plain sum and their sum weighted by index vanish: the trapezoid
// rule then ends the velocity and the displacement at zero, as the
// compensated pulses do.
std::vector<double> sampleUnitWavelet(double frequencyHz, int halfCycles, double intervalS);

// How many samples sampleUnitWavelet gives.
std::int64_t waveletSampleCount(double frequencyHz, int halfCycles, double intervalS);

}  // namespace korvex
