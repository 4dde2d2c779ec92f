#include "analysis/condition/conditioning.h"

#include <cmath>

#include "analysis/trust/achieved_pulse.h"
#include "pulse/number_text.h"

namespace korvex {
namespace {

double meanOf(std::span<const double> x) {
    double sum = 0.0;
    for (double v : x) sum += v;
    return sum / static_cast<double>(x.size());
}

// A design frequency at or beyond half the sampling rate has no digital filter.
void requireBelowNyquist(const char* setting, double designHz, double intervalS,
                         const std::string& what) {
    const double nyquist = 0.5 / intervalS;
    if (!(designHz > 0 && designHz < nyquist)) {
        throw ConditionError(setting, what + " needs a design frequency of " +
                                          humanText(designHz, 6) +
                                          " Hz, not below half the sampling rate (" +
                                          humanText(nyquist, 6) + " Hz)");
    }
}

}  // namespace

ConditionedRecord conditionRecord(const RecordView& r, const ConditionSettings& s) {
    ConditionedRecord c;
    Processing& p = c.processing;
    c.values.assign(r.values.begin(), r.values.end());
    const std::size_t n = c.values.size();
    p.offset = s.offset;
    if (s.offset != OffsetMethod::None && n > 0) {
        std::size_t count = n;
        if (s.offset == OffsetMethod::PreTrigger) {
            // Up to the pulse's foot: its first crossing less a margin of the
            // same fraction of its duration (the crossing of a half-sine is
            // 3 % of its duration in, a sawtooth's the fraction itself).
            const AchievedPulse pulse = measurePulse(r, s.pulseFraction);
            count = 0;
            const double foot = pulse.startS - s.pulseFraction * pulse.durationS;
            while (pulse.found && count < pulse.first && r.timeAt(count) < foot) ++count;
            if (count == 0) {
                throw ConditionError("offset",
                                     "the record has no samples before the pulse to "
                                     "take its offset from");
            }
        }
        p.offsetSamples = count;
        p.offsetValue = meanOf(r.values.first(count));
        for (double& v : c.values) v -= p.offsetValue;
    }
    if (s.lowPass || s.highPassHz > 0) p.padSamples = padSamples(s.padS, r.intervalS, n);
    if (s.lowPass) {
        p.lowPass = s.lowPass;
        p.lowPassDesignHz = s.lowPass->classHz > 0
                                ? kCfcDesignFactor * s.lowPass->classHz
                                : lowPassDesignHz(s.lowPass->cornerHz, r.intervalS);
        if (s.lowPass->classHz <= 0 && !(s.lowPass->cornerHz * 2 * r.intervalS < 1)) {
            p.lowPassDesignHz = s.lowPass->cornerHz;  // named as given in the message
        }
        requireBelowNyquist("lowpass", p.lowPassDesignHz, r.intervalS, s.lowPass->name);
        filtfilt(lowPassSection(p.lowPassDesignHz, r.intervalS), c.values, c.values, p.padSamples);
    }
    if (s.highPassHz > 0) {
        p.highPassHz = s.highPassHz;
        requireBelowNyquist("highpass", s.highPassHz, r.intervalS,
                            "a high pass at " + humanText(s.highPassHz) + " Hz");
        p.highPassDesignHz = highPassDesignHz(s.highPassHz, r.intervalS);
        c.motion.resize(n);
        filtfilt(highPassSection(p.highPassDesignHz, r.intervalS), c.values, c.motion,
                 p.padSamples);
    }
    return c;
}

}  // namespace korvex
