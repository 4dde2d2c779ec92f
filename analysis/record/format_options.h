// The settings a format of several channels, segments or variables needs
// beyond ReadOptions: which channels, which segment, where the rate is, and
// the scale and unit of values stored without one.
#pragma once

#include <optional>
#include <string>

#include "analysis/record_reader.h"

namespace korvex {

struct FormatOptions {
    // "" = every channel; "all"; or a list of numbers counted from 1, names
    // and ranges ("2,3,5", "Voltage", "2-4").
    std::string channels;
    // "" = the first segment; a number counted from 1; or "all" (each
    // segment's channels one after another).
    std::string segment;
    // A variable holding the sample rate in Hz, or the interval in seconds
    // where its name says so ("dt", "interval", ...): MAT files.
    std::string rateVariable;
    std::optional<double> rateHz;  // where the file gives no times
    double scale = 1.0;            // a factor on the values as stored (WAV)
    std::string unitLabel;         // the values' unit where the file does not say
};

// The format settings ReadOptions already carries: the value column as the
// channel choice, and the rate.
inline FormatOptions formatOptionsFrom(const ReadOptions& options) {
    FormatOptions f;
    f.channels = options.valueColumn;
    f.rateHz = options.rateHz;
    f.segment = options.segment;
    f.rateVariable = options.rateVariable;
    f.scale = options.scale;
    f.unitLabel = options.unitLabel;
    return f;
}

}  // namespace korvex
