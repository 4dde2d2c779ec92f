// Times as a file gives them, checked against one interval: where a format
// has a time column rather than a start and an increment.
#pragma once

#include <cstddef>
#include <optional>

#include "analysis/record/sample_array.h"

namespace korvex::formats {

struct UniformTime {
    double startS = 0.0;
    double intervalS = 0.0;  // (last - first) / (count - 1)
    // The first sample whose step from the one before strays more than
    // kIntervalTolerance of the interval; none where every step holds.
    std::optional<std::size_t> firstStray;
};

// Needs two times or more; a non-increasing record strays at sample 1.
UniformTime uniformTime(const SampleArray& time);

}  // namespace korvex::formats
