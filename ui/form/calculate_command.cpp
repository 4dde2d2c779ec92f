#include "ui/form/calculate_command.h"

#include <filesystem>

#include "pulse/number_text.h"
#include "pulse/pre_time.h"
#include "pulse/pulse_messages.h"
#include "pulse/pulse_series.h"
#include "pulse/time_history.h"

namespace korvex {
namespace {

// Ends the wait cursor on every way out of the command.
class WaitCursor {
  public:
    explicit WaitCursor(PulsePlatform& platform) : platform_(platform) {
        platform_.beginWaitCursor();
    }
    ~WaitCursor() { platform_.endWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    PulsePlatform& platform_;
};

}  // namespace

std::string completionMessage(const std::string& fileName) {
    return "Calculation complete.\n\n Please call the ouput file: " + fileName +
           " \n into your own graphics program.\n\n The output file has two columns:\n\n "
           "time(sec)  amplitude(units)";
}

void OnCalculate(PulseForm& form, PulsePlatform& platform) {
    PulseParameters params;
    params.timeUnit = static_cast<TimeUnit>(form.timeUnitIndex());
    params.pulseType = static_cast<PulseType>(form.pulseTypeIndex());
    params.sampleRate = parseLeadingNumber(form.sampleRateText());
    params.amplitude = parseLeadingNumber(form.amplitudeText());
    params.pulseDuration = parseLeadingNumber(form.pulseDurationText());
    params.totalDuration = parseLeadingNumber(form.totalDurationText());

    const std::optional<double> ratio = platform.compensationRatio();
    const int count = ratio ? planSamples(params).count : computePulseSeries(params);
    if (count < 2) {
        platform.clearPulse();
        platform.messageBox(kTooFewSamplesWarning);
        return;
    }
    std::optional<CompensationPlan> compensation;
    if (ratio) {
        try {
            compensation = planCompensation(params, *ratio);
        } catch (const CompensationError& e) {
            platform.clearPulse();
            platform.compensationFailed(e);
            return;
        }
        computeCompensatedSeries(params, *compensation, pulseSeries);
    }
    if (const std::optional<double> preTime = platform.preTime()) {
        std::string why;
        const std::optional<int> pre = preTimeSamples(params, *preTime, &why);
        if (!pre) {
            platform.clearPulse();
            platform.messageBox("Pre-time: " + why);
            return;
        }
        const SamplePlan plan =
            compensation ? SamplePlan{compensation->dt, compensation->count, compensation->cut}
                         : planSamples(params);
        padSeries(pulseSeries, *pre, plan, params.timeUnit);
    }
    platform.showPulse(params, pulseSeries);

    const std::optional<std::string> path = platform.askSaveFileName();
    if (!path) return;  // cancelled: no file is touched
    const std::unique_ptr<OutputFile> file = platform.openOutputFile(*path);

    const WaitCursor waitCursor(platform);
    writeTimeHistory(*file, pulseSeries);
    file->close();

    std::string message = completionMessage(std::filesystem::path(*path).filename().string());
    if (compensation) {
        // The compensated record is longer than the plain one: its own cut.
        if (compensation->cut) {
            const double dt = compensation->dt;
            const double interval = params.timeUnit == TimeUnit::Milliseconds ? dt * 0.001 : dt;
            message += "\n\n " + cutNote(kMaxSamples * interval);
        }
    } else if (const auto covered = cutCoverageSeconds(params)) {
        message += "\n\n " + cutNote(*covered);
    }
    platform.messageBox(message);
}

}  // namespace korvex
