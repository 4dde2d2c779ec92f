// The bytes of a synthesised drive, as korvex-cli synthesize --output and the
// window's Save Drive both write them: korvex's time-history format or CSV.
#pragma once

#include <vector>

#include "pulse/output_sink.h"

namespace korvex {

enum class DriveFormat { TimeHistory, Csv };

// Sample i at i x intervalS. CSV is "time_s,acceleration" and one line per
// sample in shortest round-trip numbers: every bit of the drive, so that it
// still ends at rest when read back.
void writeDrive(OutputSink& sink, const std::vector<double>& drive, double intervalS,
                DriveFormat format);

}  // namespace korvex
