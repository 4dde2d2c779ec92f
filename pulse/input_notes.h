// What the user typed and what the sampling made of it, in sentences that
// the window and korvex-cli both show next to their usual messages.
#pragma once

#include <string>
#include <vector>

#include "pulse/pulse_series.h"

namespace korvex {

// The four numbers as typed in the form, before they are read.
struct PulseTexts {
    std::string amplitude, pulseDuration, totalDuration, sampleRate;
};

// The samples of the record that belong to the pulse (time at or before
// its end), exactly as computePulseSeries stores them.
struct PulseSampling {
    int samples = 0;     // how many
    int peakIndex = -1;  // the first of largest magnitude among them, -1 when none
    double peak = 0.0;   // its value, signed
};

// Found from a few samples around the peak, not from the whole record.
PulseSampling pulseSampling(const PulseParameters& params);

// Notes, in the form's order: a typed text that is not a plain number and
// how it was read; an empty pulse; a record lengthened to the pulse; an
// undersampled pulse; a sampled peak more than 0.1 % short of the amplitude
// and why. `typed` is null when the numbers were read strictly (korvex-cli).
// Times are in the parameters' unit. Nothing for a record of fewer than two
// samples, which has its own warning.
std::vector<std::string> inputNotes(const PulseTexts* typed, const PulseParameters& params);

}  // namespace korvex
