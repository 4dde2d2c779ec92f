#include "analysis/condition/filter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "pulse/parallel.h"
#include "pulse/simd.h"

namespace korvex {
namespace {

// Both sections share their poles: only the numerator differs. wa is the
// prewarped design frequency, tan(pi fd T), as J211/1 Appendix C gives it
// (sin(wd T/2) / cos(wd T/2)).
double prewarped(double designHz, double intervalS) {
    return std::tan(std::numbers::pi * designHz * intervalS);
}

Biquad withPoles(double wa) {
    const double d = 1.0 + std::numbers::sqrt2 * wa + wa * wa;
    Biquad s;
    s.b1 = -2.0 * (wa * wa - 1.0) / d;
    s.b2 = (-1.0 + std::numbers::sqrt2 * wa - wa * wa) / d;
    return s;
}

// (sqrt2 - 1)^(1/4): the ratio on the tan axis where one pass is 1.5 dB down.
double halfPowerRatio() {
    return std::pow(std::numbers::sqrt2 - 1.0, 0.25);
}

double designOnTanAxis(double tanValue, double intervalS) {
    return std::atan(tanValue) / (std::numbers::pi * intervalS);
}

// Input and output history: x[n-1], x[n-2], y[n-1], y[n-2].
struct State {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// The steady state for an input that has stood at x forever.
State steady(const Biquad& s, double x) {
    return {x, x, s.dcGain() * x, s.dcGain() * x};
}

// src[0], src[Dir], ... src[Dir (n-1)] into dst at the same places (dst may
// be src), from `st`: the reference recursion. The output's own terms are
// added last so that the dependent chain is one multiply and one add.
template <int Dir>
State plainRun(const Biquad& s, const double* src, double* dst, std::size_t n, State st) {
    for (std::size_t k = 0; k < n; ++k) {
        const std::ptrdiff_t at = Dir * static_cast<std::ptrdiff_t>(k);
        const double x = src[at];
        const double y = (s.a0 * x + s.a1 * st.x1 + s.a2 * st.x2 + s.b2 * st.y2) + s.b1 * st.y1;
        st = {x, st.x1, y, st.y1};
        dst[at] = y;
    }
    return st;
}

using V4 = double __attribute__((vector_size(32)));
constexpr int kLanes = 8;  // two vectors of four: two chains to hide the latency

// Eight segments side by side, `length` samples each, from their states;
// the states at the end are left in place.
template <int Dir>
KORVEX_ALWAYS_INLINE void runLanes(const Biquad& s, const double* const* src, double* const* dst,
                                   State* st, std::size_t length) {
    V4 x1[2], x2[2], y1[2], y2[2];
    for (int j = 0; j < kLanes; ++j) {
        x1[j / 4][j % 4] = st[j].x1, x2[j / 4][j % 4] = st[j].x2;
        y1[j / 4][j % 4] = st[j].y1, y2[j / 4][j % 4] = st[j].y2;
    }
    for (std::ptrdiff_t k = 0; k < static_cast<std::ptrdiff_t>(length); ++k) {
        const std::ptrdiff_t at = Dir * k;
        for (int v = 0; v < 2; ++v) {
            const double* const* p = src + 4 * v;
            const V4 x = {p[0][at], p[1][at], p[2][at], p[3][at]};
            const V4 y = (s.a0 * x + s.a1 * x1[v] + s.a2 * x2[v] + s.b2 * y2[v]) + s.b1 * y1[v];
            x2[v] = x1[v], x1[v] = x, y2[v] = y1[v], y1[v] = y;
            for (int j = 0; j < 4; ++j) dst[4 * v + j][at] = y[j];
        }
    }
    for (int j = 0; j < kLanes; ++j) {
        st[j] = {x1[j / 4][j % 4], x2[j / 4][j % 4], y1[j / 4][j % 4], y2[j / 4][j % 4]};
    }
}

template <int Dir>
KORVEX_AVX2 void runLanesAvx2(const Biquad& s, const double* const* src, double* const* dst,
                              State* st, std::size_t length) {
    runLanes<Dir>(s, src, dst, st, length);
}

template <int Dir>
void runLanesPortable(const Biquad& s, const double* const* src, double* const* dst, State* st,
                      std::size_t length) {
    runLanes<Dir>(s, src, dst, st, length);
}

// Segments shorter than this are not worth splitting.
constexpr std::size_t kSegmentMin = 4096;
// The largest squared pole radius run in segments: there the segmented
// run's error stays within ten times the plain one's (tested).
constexpr double kSegmentPoleMax = 0.998;
// Where the homogeneous response u is cut: far under any sample's rounding.
constexpr double kNegligible = 1e-20;

// plainRun's result, up to rounding, with segments run side by side. The
// output history entering each segment follows from the one before: its
// homogeneous response y[k] = Y1 u[k] + Y2 b2 u[k-1] (u[-1] = 1, u[-2] = 0,
// u[k] = b1 u[k-1] + b2 u[k-2]) plus the response to the segment's own
// input from rest, of which only the last K samples matter, K being where u
// has decayed below 1e-20 (the poles are inside the unit circle). Then
// every segment runs from its true state, so the rounding is the plain
// recursion's.
template <int Dir>
State segmentedRun(const Biquad& s, const double* src, double* dst, std::size_t n, State st) {
    const std::size_t groups = threadsFor(n / (kLanes * kSegmentMin));
    const std::size_t segments = groups * kLanes;
    const std::size_t length = n / segments;
    if (length < kSegmentMin || std::fabs(s.b2) > kSegmentPoleMax) {
        return plainRun<Dir>(s, src, dst, n, st);
    }
    const auto at = [](auto* p, std::size_t i) { return p + Dir * static_cast<std::ptrdiff_t>(i); };
    std::vector<double> u{1.0};  // u[k - 1] at index k
    for (double u1 = 1.0, u2 = 0.0; u.size() <= length;) {
        const double next = s.b1 * u1 + s.b2 * u2;
        u.push_back(next);
        if (std::fabs(next) < kNegligible && std::fabs(u1) < kNegligible) break;
        u2 = u1, u1 = next;
    }
    const auto uAt = [&u](std::size_t k) { return k + 1 < u.size() ? u[k + 1] : 0.0; };
    const std::size_t reach = std::min(length, u.size() + 2);

    std::vector<State> states(segments);
    states[0] = st;
    for (std::size_t j = 0; j + 1 < segments; ++j) {
        // The response to this segment's last `reach` inputs from rest.
        const std::size_t end = (j + 1) * length, from = end - reach;
        State rest = from == 0 ? State{st.x1, st.x2, 0, 0}
                               : State{*at(src, from - 1), *at(src, from - 2), 0, 0};
        for (std::size_t i = from; i < end; ++i) {
            const double x = *at(src, i);
            const double y =
                (s.a0 * x + s.a1 * rest.x1 + s.a2 * rest.x2 + s.b2 * rest.y2) + s.b1 * rest.y1;
            rest = {x, rest.x1, y, rest.y1};
        }
        const double Y1 = states[j].y1, Y2 = states[j].y2 * s.b2;
        states[j + 1] = {*at(src, end - 1), *at(src, end - 2),
                         rest.y1 + Y1 * uAt(length - 1) + Y2 * uAt(length - 2),
                         rest.y2 + Y1 * uAt(length - 2) + Y2 * uAt(length - 3)};
    }
    const bool avx2 = cpuHasAvx2();
    parallelFor(groups, static_cast<unsigned>(groups), [&](std::size_t g, unsigned) {
        const double* from[kLanes];
        double* to[kLanes];
        for (std::size_t j = 0; j < kLanes; ++j) {
            from[j] = at(src, (g * kLanes + j) * length);
            to[j] = at(dst, (g * kLanes + j) * length);
        }
        (avx2 ? runLanesAvx2<Dir> : runLanesPortable<Dir>)(s, from, to, &states[g * kLanes],
                                                           length);
    });
    // The last segment runs on over the remainder.
    const std::size_t done = segments * length;
    return plainRun<Dir>(s, at(src, done), at(dst, done), n - done, states.back());
}

template <int Dir>
State run(const Biquad& s, const double* src, double* dst, std::size_t n, State st, bool plain) {
    return plain ? plainRun<Dir>(s, src, dst, n, st) : segmentedRun<Dir>(s, src, dst, n, st);
}

}  // namespace

Biquad lowPassSection(double designHz, double intervalS) {
    const double wa = prewarped(designHz, intervalS);
    Biquad s = withPoles(wa);
    s.a0 = wa * wa / (1.0 + std::numbers::sqrt2 * wa + wa * wa);
    s.a1 = 2.0 * s.a0;
    s.a2 = s.a0;
    return s;
}

Biquad highPassSection(double designHz, double intervalS) {
    const double wa = prewarped(designHz, intervalS);
    Biquad s = withPoles(wa);
    s.a0 = 1.0 / (1.0 + std::numbers::sqrt2 * wa + wa * wa);
    s.a1 = -2.0 * s.a0;
    s.a2 = s.a0;
    return s;
}

double lowPassDesignHz(double cornerHz, double intervalS) {
    return designOnTanAxis(prewarped(cornerHz, intervalS) / halfPowerRatio(), intervalS);
}

double highPassDesignHz(double cornerHz, double intervalS) {
    return designOnTanAxis(prewarped(cornerHz, intervalS) * halfPowerRatio(), intervalS);
}

Biquad lowPassFor(const LowPassChoice& c, double intervalS) {
    const double designHz =
        c.classHz > 0 ? kCfcDesignFactor * c.classHz : lowPassDesignHz(c.cornerHz, intervalS);
    return lowPassSection(designHz, intervalS);
}

std::size_t padSamples(double padS, double intervalS, std::size_t n) {
    if (n < 2 || !(padS > 0)) return 0;
    const double samples = std::ceil(padS / intervalS);
    return samples >= static_cast<double>(n - 1) ? n - 1 : static_cast<std::size_t>(samples);
}

void filtfilt(const Biquad& s, std::span<const double> in, std::span<double> out, std::size_t pad,
              bool plain) {
    const std::size_t n = in.size();
    if (n == 0) return;
    pad = std::min(pad, n - 1);
    // The padding, in order of time: left[0] comes first, right[pad - 1] last.
    std::vector<double> left(pad), right(pad);
    for (std::size_t k = 0; k < pad; ++k) {
        left[k] = 2 * in[0] - in[pad - k];
        right[k] = 2 * in[n - 1] - in[n - 2 - k];
    }
    State st = steady(s, pad > 0 ? left[0] : in[0]);
    st = plainRun<1>(s, left.data(), left.data(), pad, st);
    st = run<1>(s, in.data(), out.data(), n, st, plain);
    plainRun<1>(s, right.data(), right.data(), pad, st);
    // Backward from the steady state for the last forward output; the left
    // padding's backward output is not needed.
    State back = steady(s, pad > 0 ? right[pad - 1] : out[n - 1]);
    if (pad > 0) back = plainRun<-1>(s, &right[pad - 1], &right[pad - 1], pad, back);
    run<-1>(s, &out[n - 1], &out[n - 1], n, back, plain);
}

}  // namespace korvex
