// The nominal pulse as the form pushes it to the panes: its shape, amplitude
// and duration as the form's texts read, and the form's time unit.
#pragma once

#include "analysis/tolerance_check.h"
#include "pulse/pulse_series.h"

namespace korvex {

struct NominalPulse {
    CheckPulse pulse;
    TimeUnit unit = TimeUnit::Milliseconds;
    double duration = 0.0;  // in `unit`, as the form reads it, for the test plan
};

}  // namespace korvex
