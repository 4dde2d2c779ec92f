// The Calculate command: form -> parameters -> series -> file, against two
// small interfaces so that it runs the same behind the dialog and in tests.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "pulse/compensation.h"
#include "pulse/output_sink.h"
#include "pulse/pulse_messages.h"
#include "pulse/pulse_series.h"

namespace korvex {

// The form as the command sees it, in the order the command reads it.
class PulseForm {
  public:
    virtual ~PulseForm() = default;
    virtual int timeUnitIndex() = 0;   // -1 when nothing is selected
    virtual int pulseTypeIndex() = 0;  // -1 when nothing is selected
    virtual std::string sampleRateText() = 0;
    virtual std::string amplitudeText() = 0;
    virtual std::string pulseDurationText() = 0;
    virtual std::string totalDurationText() = 0;
};

// What the desktop supplies.
class PulsePlatform {
  public:
    virtual ~PulsePlatform() = default;
    // Modal message with an OK button; returns once dismissed.
    virtual void messageBox(const std::string& text) = 0;
    // Save As with overwrite confirmation: the chosen full path, or nothing
    // when the user cancelled.
    virtual std::optional<std::string> askSaveFileName() = 0;
    // Creates or truncates the file; failures throw (FileError for a real file).
    virtual std::unique_ptr<OutputFile> openOutputFile(const std::string& path) = 0;
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;
    // The series just computed, shown before the file is asked for; a press
    // with too few samples clears it. Nothing to show by default.
    virtual void showPulse(const PulseParameters& /*params*/, const PulseSeries& /*series*/) {}
    virtual void clearPulse() {}
    // A shaker compensation ratio P (0 < P <= 1) for the press, or none: the
    // plain pulse. A press with one computes and writes the compensated
    // record instead; everything else stays as it is.
    virtual std::optional<double> compensationRatio() { return std::nullopt; }
    // The compensation cannot be laid out for these inputs: nothing is shown
    // or written, and the reason is told in a message of its own.
    virtual void compensationFailed(const CompensationError& error) { messageBox(error.what()); }
    // Zeros before the pulse (or the compensated pulse's pre-pulse), in the
    // form's time unit, as korvex-cli --pre-time pads them; none: no zeros.
    // A value that is not a number of 0 or more refuses the press.
    virtual std::optional<double> preTime() { return std::nullopt; }
};

// The message shown when the file is written; `fileName` has no folder.
std::string completionMessage(const std::string& fileName);

// One press of Calculate. A file failure leaves as the sink's exception,
// after the wait cursor has ended and before any completion message.
void OnCalculate(PulseForm& form, PulsePlatform& platform);

}  // namespace korvex
