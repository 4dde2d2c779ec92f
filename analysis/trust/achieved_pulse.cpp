#include "analysis/trust/achieved_pulse.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/trust/sample_scan.h"

namespace korvex {
namespace {

// The time where the signed magnitude s x crosses `level` between samples
// i and i + 1 (one at or above it, the other below).
double crossing(const RecordView& r, double sign, std::size_t i, double level) {
    const double a = sign * r.values[i], b = sign * r.values[i + 1];
    const double t0 = r.timeAt(i), t1 = r.timeAt(i + 1);
    return b == a ? t0 : t0 + (level - a) / (b - a) * (t1 - t0);
}

// The first sample at or beyond `level` going back from the peak, and the
// crossing time before it (the first sample's own time at the slice's edge).
double startCrossing(const RecordView& r, double sign, std::size_t peak, std::size_t first,
                     double level, std::size_t& at) {
    at = peak;
    while (at > first && sign * r.values[at - 1] >= level) --at;
    return at == first ? r.timeAt(at) : crossing(r, sign, at - 1, level);
}

AchievedPulse noPulse(double fraction) {
    AchievedPulse p;
    p.fraction = fraction;
    return p;
}

// The peak is searched for from peakFrom, where the caller knows it lies beyond.
AchievedPulse measureWithin(const RecordView& r, std::size_t first, std::size_t end,
                            double fraction, const SampleScan& scan, std::size_t peakFrom) {
    AchievedPulse p;
    p.fraction = fraction;
    const double largest = scan.largest;
    if (!scan.finite || !(largest > 0)) return p;
    p.peakIndex = peakFrom;
    while (std::fabs(r.values[p.peakIndex]) != largest) ++p.peakIndex;
    p.found = true;
    p.peak = r.values[p.peakIndex];
    p.peakTimeS = r.timeAt(p.peakIndex);
    const double sign = p.peak < 0 ? -1.0 : 1.0;
    const double low = fraction * largest, high = (1 - fraction) * largest;
    p.startS = startCrossing(r, sign, p.peakIndex, first, low, p.first);
    std::size_t highAt = 0;
    const double highS = startCrossing(r, sign, p.peakIndex, first, high, highAt);
    p.riseTimeS = highS - p.startS;
    std::size_t last = p.peakIndex;
    while (last + 1 < end && sign * r.values[last + 1] >= low) ++last;
    p.end = last + 1;
    p.endS = last + 1 == end ? r.timeAt(last) : crossing(r, sign, last, low);
    p.durationS = p.endS - p.startS;
    return p;
}

}  // namespace

AchievedPulse measurePulse(const RecordView& r, double fraction) {
    return measurePulse(r, 0, r.size(), fraction);
}

AchievedPulse measurePulse(const RecordView& r, std::size_t first, std::size_t end,
                           double fraction) {
    end = std::min(end, r.size());
    if (first >= end) return noPulse(fraction);
    return measureWithin(r, first, end, fraction, scanSamples(r.values.subspan(first, end - first)),
                         first);
}

AchievedPulse measurePulse(const RecordView& r, double fraction, const SampleScan& scan) {
    if (r.size() == 0) return noPulse(fraction);
    return measureWithin(r, 0, r.size(), fraction, scan, 0);
}

AchievedPulse measurePulseAround(const RecordView& r, std::size_t first, std::size_t end,
                                 std::size_t peakFirst, std::size_t peakEnd, double fraction) {
    const SampleScan scan = scanSamples(r.values.subspan(peakFirst, peakEnd - peakFirst));
    return measureWithin(r, first, end, fraction, scan, peakFirst);
}

namespace {

double shapeAt(PulseShape shape, double u) {
    if (!(u >= 0.0 && u <= 1.0)) return 0.0;
    return shape == PulseShape::HalfSine ? std::sin(std::numbers::pi * u) : (u < 1.0 ? u : 0.0);
}

// Samples the fit looks at: a duration either side of the pulse, at most
// kFitSamples of them (evenly strided), which keeps a long pulse's fit fast.
constexpr std::size_t kFitSamples = 4096;

struct FitData {
    std::vector<double> t, x;
    double squares = 0.0;
};

// Misfit for a start and duration, the amplitude solved exactly.
double misfit(const FitData& d, PulseShape shape, double start, double duration,
              double* amplitude) {
    if (!(duration > 0)) return INFINITY;
    double xg = 0.0, gg = 0.0;
    for (std::size_t i = 0; i < d.t.size(); ++i) {
        const double g = shapeAt(shape, (d.t[i] - start) / duration);
        xg += d.x[i] * g;
        gg += g * g;
    }
    if (!(gg > 0)) return d.squares;
    if (amplitude != nullptr) *amplitude = xg / gg;
    return d.squares - xg * xg / gg;
}

}  // namespace

PulseFit fitPulse(const RecordView& r, const AchievedPulse& p, PulseShape shape) {
    PulseFit fit;
    if (!p.found || !(p.durationS > 0)) return fit;
    // A start and duration from the crossings of the measured pulse.
    double duration = 0.0, start = 0.0;
    if (shape == PulseShape::HalfSine) {
        const double u = std::asin(p.fraction) / std::numbers::pi;
        duration = p.durationS / (1 - 2 * u);
        start = p.startS - u * duration;
    } else {
        duration = (p.peakTimeS - p.startS) / (1 - p.fraction);
        start = p.startS - p.fraction * duration;
    }
    const double from = start - duration, to = start + 2 * duration;
    std::size_t a = p.first, b = p.end;
    while (a > 0 && r.timeAt(a - 1) >= from) --a;
    while (b < r.size() && r.timeAt(b) <= to) ++b;
    FitData d;
    const std::size_t stride = std::max<std::size_t>(1, (b - a + kFitSamples - 1) / kFitSamples);
    for (std::size_t i = a; i < b; i += stride) {
        d.t.push_back(r.timeAt(i));
        d.x.push_back(r.values[i]);
        d.squares += r.values[i] * r.values[i];
    }
    // Nelder and Mead's simplex over (start, duration).
    using Point = std::array<double, 2>;
    const auto f = [&](const Point& q) { return misfit(d, shape, q[0], q[1], nullptr); };
    std::array<Point, 3> s{Point{start, duration}, Point{start + 0.05 * duration, duration},
                           Point{start, 1.05 * duration}};
    std::array<double, 3> v{f(s[0]), f(s[1]), f(s[2])};
    for (int iteration = 0; iteration < 400; ++iteration) {
        std::array<int, 3> o{0, 1, 2};
        std::sort(o.begin(), o.end(), [&v](int i, int j) { return v[i] < v[j]; });
        const Point& best = s[o[0]];
        const Point& worst = s[o[2]];
        const double size =
            std::max(std::fabs(s[o[1]][0] - best[0]) + std::fabs(worst[0] - best[0]),
                     std::fabs(s[o[1]][1] - best[1]) + std::fabs(worst[1] - best[1]));
        if (size < 1e-9 * duration) break;
        const Point c{(best[0] + s[o[1]][0]) / 2, (best[1] + s[o[1]][1]) / 2};
        const auto along = [&](double k) {
            return Point{c[0] + k * (worst[0] - c[0]), c[1] + k * (worst[1] - c[1])};
        };
        const Point reflected = along(-1.0);
        const double fr = f(reflected);
        if (fr < v[o[0]]) {
            const Point expanded = along(-2.0);
            const double fe = f(expanded);
            s[o[2]] = fe < fr ? expanded : reflected;
            v[o[2]] = std::min(fe, fr);
        } else if (fr < v[o[1]]) {
            s[o[2]] = reflected, v[o[2]] = fr;
        } else {
            const Point contracted = along(0.5);
            const double fc = f(contracted);
            if (fc < v[o[2]]) {
                s[o[2]] = contracted, v[o[2]] = fc;
            } else {
                for (int k : {o[1], o[2]}) {
                    s[k] = Point{(s[k][0] + best[0]) / 2, (s[k][1] + best[1]) / 2};
                    v[k] = f(s[k]);
                }
            }
        }
    }
    const int at = static_cast<int>(std::min_element(v.begin(), v.end()) - v.begin());
    fit.found = true;
    fit.startS = s[at][0];
    fit.durationS = s[at][1];
    const double rest = misfit(d, shape, fit.startS, fit.durationS, &fit.amplitude);
    fit.residual =
        std::sqrt(std::max(0.0, rest) / static_cast<double>(d.t.size())) / std::fabs(p.peak);
    return fit;
}

}  // namespace korvex
