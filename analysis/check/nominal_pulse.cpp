// The nominal pulse: its value, its exact extremes over a span, its velocity
// change, and where a span of time relative to it falls in a record.
#include <algorithm>
#include <cmath>

#include "analysis/check/check_common.h"

namespace korvex {

double nominalAt(const CheckPulse& pulse, double s) {
    const double D = pulse.durationS;
    if (!(s >= 0.0 && s <= D + check::slack(pulse))) return 0.0;
    s = std::min(s, D);
    if (pulse.shape == PulseType::HalfSine) return pulse.amplitude * std::sin(kPi * s / D);
    return pulse.amplitude * s / D;
}

// Each shape is monotonic between the points 0, D/2 and D and constant
// outside [0, D] (and on the slack after D; the sawtooth's drop reaches 0 at
// once), so the extremes over [from, to] lie among its ends and those of the
// points that fall inside it.
NominalRange nominalRange(const CheckPulse& pulse, double from, double to) {
    const double D = pulse.durationS;
    const double a = nominalAt(pulse, from), b = nominalAt(pulse, to);
    double lo = std::min(a, b), hi = std::max(a, b);
    for (double u : {0.0, D / 2, D}) {
        if (u >= from && u <= to) {
            const double v = nominalAt(pulse, u);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    return {lo, hi};
}

namespace check {
namespace {

// The first index in [from, to) where `pred` turns false; pred is true on a
// prefix of the range.
template <class Pred>
std::size_t firstFalse(std::size_t from, std::size_t to, Pred pred) {
    while (from < to) {
        const std::size_t mid = from + (to - from) / 2;
        if (pred(mid)) {
            from = mid + 1;
        } else {
            to = mid;
        }
    }
    return from;
}

}  // namespace

Span samplesIn(const RecordView& r, double tau, Window w) {
    const std::size_t n = r.size();
    const std::size_t first =
        firstFalse(0, n, [&](std::size_t i) { return r.timeAt(i) - tau < w.lo - w.eps; });
    const std::size_t end =
        firstFalse(first, n, [&](std::size_t i) { return r.timeAt(i) - tau <= w.hi + w.eps; });
    return {first, end};
}

double nominalVelocityChange(const CheckPulse& p) {
    return p.shape == PulseType::HalfSine ? 2 * p.amplitude * p.durationS / kPi
                                          : p.amplitude * p.durationS / 2;
}

double alignmentInterval(const RecordView& r) {
    if (r.intervalS > 0.0 && r.intervalS < kInf) return r.intervalS;
    const std::size_t n = r.size();
    return n < 2 ? 0.0 : (r.time[n - 1] - r.time[0]) / static_cast<double>(n - 1);
}

}  // namespace check
}  // namespace korvex
