// Sentences that the dialog and the command line both show.
#pragma once

#include <string>

namespace korvex {

inline constexpr const char* kTooFewSamplesWarning = "Warning:  increase the sample rate.";

// The sentence reporting a record cut at kMaxSamples.
std::string cutNote(double coveredSeconds);

}  // namespace korvex
