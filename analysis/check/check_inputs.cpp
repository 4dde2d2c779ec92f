// What the check refuses before it starts: settings out of range, a record
// without usable times, values it cannot square and add.
#include <cmath>

#include "analysis/check/check_common.h"

namespace korvex::check {
namespace {

void requireFraction(double value, CheckField field, const char* what) {
    if (!(value >= 0.0 && value < kInf)) {
        throw CheckError(
            field, std::string(what) + " must be a number of 0 or more, got " + number(value));
    }
}

}  // namespace

void validateInputs(const CheckPulse& pulse, const CheckSettings& s) {
    if (pulse.shape != PulseType::HalfSine && pulse.shape != PulseType::TerminalSawtooth) {
        throw CheckError(CheckField::Shape,
                         "the pulse shape must be half-sine or terminal sawtooth");
    }
    if (!(std::isfinite(pulse.amplitude) && pulse.amplitude != 0.0)) {
        throw CheckError(
            CheckField::Amplitude,
            "the amplitude must be a number other than 0, got " + number(pulse.amplitude));
    }
    if (!(pulse.durationS > 0.0 && pulse.durationS < kInf)) {
        throw CheckError(CheckField::Duration, "the pulse duration must be more than 0 s, got " +
                                                   number(pulse.durationS));
    }
    requireFraction(s.band, CheckField::Band, "the band");
    requireFraction(s.timeTolerance, CheckField::TimeTolerance, "the time tolerance");
    requireFraction(s.windowBefore, CheckField::WindowBefore, "the window before the pulse");
    requireFraction(s.windowAfter, CheckField::WindowAfter, "the window after the pulse");
    requireFraction(s.velocityTolerance, CheckField::VelocityTolerance,
                    "the velocity change tolerance");
    requireFraction(s.velocityBefore, CheckField::VelocityBefore,
                    "the velocity window before the pulse");
    requireFraction(s.velocityAfter, CheckField::VelocityAfter,
                    "the velocity window after the pulse");
    // Only the monitoring window is sure to lie inside the record.
    if (s.velocityBefore > s.windowBefore) {
        throw CheckError(CheckField::VelocityBefore,
                         "the velocity window before the pulse, " + number(s.velocityBefore) +
                             ", must not reach beyond the monitoring window, " +
                             number(s.windowBefore));
    }
    if (s.velocityAfter > s.windowAfter) {
        throw CheckError(CheckField::VelocityAfter,
                         "the velocity window after the pulse, " + number(s.velocityAfter) +
                             ", must not reach beyond the monitoring window, " +
                             number(s.windowAfter));
    }
    if (s.spectrum && !(std::isfinite(s.spectrum->lowDb) && std::isfinite(s.spectrum->highDb) &&
                        s.spectrum->lowDb <= s.spectrum->highDb)) {
        throw CheckError(CheckField::Spectrum,
                         "the spectrum tolerance must be two numbers of dB, the lower first, got " +
                             number(s.spectrum->lowDb) + "," + number(s.spectrum->highDb));
    }
}

double validateRecord(const RecordView& r) {
    const std::size_t n = r.size();
    if (n == 0) throw CheckError(CheckField::Record, "the record has no samples");
    if (r.time.empty()) {
        if (!(std::isfinite(r.startS) && r.intervalS > 0.0 && r.intervalS < kInf)) {
            throw CheckError(CheckField::Record, "the record has no times and no usable interval");
        }
    } else {
        if (r.time.size() != n) {
            throw CheckError(CheckField::Record, "the record has " + count(r.time.size()) +
                                                     " times for " + count(n) + " values");
        }
        if (!std::isfinite(r.time[0]) || !std::isfinite(r.time[n - 1])) {
            throw CheckError(CheckField::Record, "the record's times are not all numbers");
        }
        for (std::size_t i = 1; i < n; ++i) {
            if (!(r.time[i] > r.time[i - 1])) {
                throw CheckError(CheckField::Record, "time number " + count(i + 1) + ", " +
                                                         number(r.time[i]) +
                                                         ", does not follow the one before it, " +
                                                         number(r.time[i - 1]));
            }
        }
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = r.values[i];
        if (!std::isfinite(x * x)) {
            throw CheckError(CheckField::Record, "value number " + count(i + 1) + ", " + number(x) +
                                                     ", is not a number the check can use");
        }
        sum += x * x;
    }
    if (!std::isfinite(sum)) {
        throw CheckError(CheckField::Record, "the record's values are too large to square and add");
    }
    return sum;
}

}  // namespace korvex::check
