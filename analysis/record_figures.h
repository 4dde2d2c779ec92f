// The figures of any record: sampling, peak, velocity change, mean and RMS.
#pragma once

#include <cstddef>

#include "analysis/record.h"

namespace korvex {

struct RecordFigures {
    std::size_t samples = 0;
    double intervalS = 0.0;
    double startS = 0.0;
    double recordS = 0.0;         // samples x interval
    double peakAmplitude = 0.0;   // signed; the first sample of largest magnitude
    double peakTimeS = 0.0;       // its time, as the record gives it
    double velocityChange = 0.0;  // trapezoidal, amplitude units x s
    double mean = 0.0;
    double rms = 0.0;
};

// Sums are compensated block by block, so a long record loses about a
// block's worth of rounding, not a record's. A NaN sample makes the sums NaN
// and is the peak.
RecordFigures computeRecordFigures(const RecordView& record);

}  // namespace korvex
