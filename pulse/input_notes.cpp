#include "pulse/input_notes.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "pulse/char_class.h"
#include "pulse/number_text.h"

namespace korvex {
namespace {

// Fewer samples than this cannot show the pulse's shape.
constexpr int kFewestPulseSamples = 10;
// A sampled peak further below the amplitude than this is worth a word.
constexpr double kPeakShortfall = 0.001;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The same cut as in korvex-cli's messages, in the double quotes of the window.
std::string doubleQuoted(std::string_view text) {
    std::string q = quotedText(text);
    q.front() = '"';
    q.back() = '"';
    return q;
}

std::string readAsNote(const char* name, const std::string& text, double value) {
    if (parseStrictNumber(trimmed(text))) return {};
    const std::string shown = trimmed(text).empty() ? "empty," : doubleQuoted(text);
    return std::string(name) + ": " + shown + " read as " + humanText(value);
}

std::string num(double x) {
    return humanText(x, 6);
}

// Index of the first sample past the pulse (time > T), within [0, count].
int firstPastPulse(const PulseParameters& params, const SamplePlan& plan) {
    const double T = params.pulseDuration, dt = plan.dt;
    const int count = std::max(plan.count, 0);
    const double guess = T / dt;
    int k = guess >= count ? count : (guess > 0 ? static_cast<int>(guess) : 0);
    // Sample times are i * dt, one rounding each, so they never decrease.
    while (k > 0 && static_cast<double>(k - 1) * dt > T) --k;
    while (k < count && !(static_cast<double>(k) * dt > T)) ++k;
    return k;
}

}  // namespace

PulseSampling pulseSampling(const PulseParameters& params) {
    PulseSampling s;
    const SamplePlan plan = planSamples(params);
    if (plan.count <= 0) return s;
    s.samples = firstPastPulse(params, plan);
    if (s.samples == 0) return s;

    // The peak lies at the middle of a half-sine and at the end of a ramp;
    // the computed samples never decrease in magnitude toward it.
    int first = 0, end = s.samples;
    if (s.samples > 16) {
        int centre = s.samples - 1;
        if (params.pulseType == PulseType::HalfSine) {
            const double mid = params.pulseDuration / 2 / plan.dt;
            centre = mid < s.samples ? static_cast<int>(mid) : s.samples - 1;
        }
        first = std::max(0, centre - 3);
        end = std::min(s.samples, centre + 4);
    }
    double times[16], amps[16];
    computePulseSamples(params, plan, first, end, times, amps);
    for (int i = first; i < end; ++i) {
        const double a = amps[i - first];
        if (s.peakIndex >= 0 && std::isnan(s.peak)) break;  // NaN outranks every number
        if (s.peakIndex < 0 || std::isnan(a) || std::fabs(a) > std::fabs(s.peak)) {
            s.peakIndex = i;
            s.peak = a;
        }
    }
    return s;
}

std::vector<std::string> inputNotes(const PulseTexts* typed, const PulseParameters& params) {
    std::vector<std::string> notes;
    const auto add = [&notes](std::string note) {
        if (!note.empty()) notes.push_back(std::move(note));
    };
    if (typed != nullptr) {
        add(readAsNote("Amplitude", typed->amplitude, params.amplitude));
        add(readAsNote("Pulse duration", typed->pulseDuration, params.pulseDuration));
        add(readAsNote("Total duration", typed->totalDuration, params.totalDuration));
        add(readAsNote("Sample rate", typed->sampleRate, params.sampleRate));
    }
    const SamplePlan plan = planSamples(params);
    if (plan.count < 2) return notes;

    const std::string unit = params.timeUnit == TimeUnit::Milliseconds ? " ms" : " s";
    const double T = params.pulseDuration, A = params.amplitude;
    if (!(T > 0)) {
        add("Pulse duration: " + num(T) + unit + ", so the pulse is empty");
        return notes;
    }
    if (!(params.totalDuration >= T)) {
        add("Total duration: " + num(params.totalDuration) + unit +
            " is shorter than the pulse, so the record was lengthened to the pulse (" + num(T) +
            unit + ")");
    }
    const bool sine = params.pulseType == PulseType::HalfSine;
    if (!sine && params.pulseType != PulseType::TerminalSawtooth) {
        add("Pulse type: none selected, so the record is all zeros");
        return notes;
    }

    const PulseSampling s = pulseSampling(params);
    const bool measurable = std::isfinite(A) && A != 0.0 && !std::isnan(s.peak);
    const std::string peakText = num(s.peak) + " of " + num(A);
    if (s.samples < kFewestPulseSamples) {
        add("undersampled: " + std::to_string(s.samples) +
            (s.samples == 1 ? " sample" : " samples") + " in the pulse" +
            (measurable ? "; the sampled peak is " + peakText : std::string()));
        return notes;
    }
    if (!measurable || !(std::fabs(s.peak) < std::fabs(A) * (1 - kPeakShortfall))) return notes;

    const double dt = plan.dt;
    const double shortPercent = (std::fabs(A) - std::fabs(s.peak)) / std::fabs(A) * 100;
    std::string why;
    const double peakTime = static_cast<double>(s.peakIndex) * dt;
    const bool pulseEndsInRecord = s.samples < plan.count;
    if (!pulseEndsInRecord && (!sine || peakTime < T / 2)) {
        const double last = static_cast<double>(plan.count - 1) * dt;
        why = "the record ends at " + num(last) + unit + ", before the pulse's peak" +
              (plan.cut ? " (it was cut at " + std::to_string(kMaxSamples) + " samples)" : "");
    } else if (sine) {
        why = "no sample falls on the pulse's middle (" + num(T / 2) + unit +
              "); the largest sample is at " + num(peakTime) + unit;
    } else {
        const double next = static_cast<double>(s.samples) * dt;
        // One rounding of i * dt past T: the sample meant to end the ramp.
        if (next - T <= T * 1e-12) {
            why = "the sample due at the pulse end (" + num(T) + unit +
                  ") computes to just past it and is 0; the last ramp sample is at " +
                  num(peakTime) + unit;
        } else {
            why = "no sample falls on the pulse end (" + num(T) + unit +
                  "); the last ramp sample is at " + num(peakTime) + unit;
        }
    }
    add("Peak: the sampled peak is " + peakText + ", " + humanText(shortPercent, 3) +
        " % short: " + why);
    return notes;
}

}  // namespace korvex
