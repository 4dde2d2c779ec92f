// What the check's parts share: number text for people, the slack on times,
// the monitoring window and the samples inside a span of time.
#pragma once

#include <cstddef>
#include <limits>
#include <string>

#include "analysis/tolerance_check.h"
#include "pulse/number_text.h"

namespace korvex::check {

inline constexpr double kInf = std::numeric_limits<double>::infinity();

// For people: six significant digits (the report has every digit).
inline std::string number(double x) {
    return humanText(x, 6);
}
inline std::string count(std::size_t n) {
    return std::to_string(n);
}

// Times are differences of rounded numbers: a sample within a billionth of
// the pulse duration of a window's edge, or of the pulse's end, counts as on
// it, so that a record as long as the window, or a sample at the end of the
// pulse, is not decided by the last bit.
inline double slack(const CheckPulse& p) {
    return 1e-9 * p.durationS;
}

struct Window {
    double lo, hi;  // offsets from the pulse start, s
    double eps;
};
inline Window monitoring(const CheckPulse& p, const CheckSettings& s) {
    return {-s.windowBefore * p.durationS, (1 + s.windowAfter) * p.durationS, slack(p)};
}

struct Span {
    std::size_t first, end;
};
// The samples i with lo <= t_i - tau <= hi, to within the slack: [first, end).
Span samplesIn(const RecordView& r, double tau, Window w);

// Throw CheckError for inputs, or a record, the check cannot use; the
// record's sum of squares, in order, when it can.
void validateInputs(const CheckPulse& pulse, const CheckSettings& settings);
double validateRecord(const RecordView& record);

double nominalVelocityChange(const CheckPulse& p);

// The record's interval for the alignment: its own, or the mean step of its
// times.
double alignmentInterval(const RecordView& r);

SpectrumResult checkSpectrum(const RecordView& r, std::size_t start, const CheckPulse& p,
                             CheckSettings& s, unsigned threads, CheckProgress* progress);

}  // namespace korvex::check

namespace korvex::check {

// The band over the monitoring window around tau (the part in the record),
// and the velocity change over its own window.
BandResult judgeBand(const RecordView& r, double tau, const CheckPulse& p, const CheckSettings& s,
                     unsigned threads);
VelocityResult judgeVelocity(const RecordView& r, double tau, const CheckPulse& p,
                             const CheckSettings& s);

}  // namespace korvex::check
