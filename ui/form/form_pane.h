// What the form pushes to the panes beside it: the pulse each Calculate
// makes, the nominal pulse its inputs describe, and files dropped on it.
// The panes never read the form back.
#pragma once

#include <QString>

#include <optional>

#include "pulse/compensation.h"
#include "pulse/input_notes.h"
#include "pulse/pulse_series.h"
#include "ui/widgets/nominal_pulse.h"

namespace korvex {

class FormPane {
  public:
    virtual ~FormPane() = default;
    // The series just computed (it stays as it is until the next call), the
    // texts it was read from and the compensation ratio it was made with.
    virtual void showPulse(const PulseParameters& params, const PulseSeries& series,
                           const PulseTexts& typed, std::optional<double> compensation) = 0;
    virtual void clearPulse() = 0;
    // The compensation for the next Calculate, and why it could not be laid out.
    virtual std::optional<double> compensationRatio() = 0;
    virtual void compensationFailed(const CompensationError& error) = 0;
    // The pre-time for the next Calculate, in the form's time unit; none: no zeros.
    virtual std::optional<double> preTime() { return std::nullopt; }
    // An input changed: the pulse shown is no longer the form's.
    virtual void inputsChanged() = 0;
    // The nominal pulse the form's inputs describe now.
    virtual void nominalChanged(const NominalPulse& nominal) = 0;
    // A file dropped anywhere on the window.
    virtual void openFile(const QString& path) = 0;
};

}  // namespace korvex
