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

// One direction over p[0], p[Dir], ..., p[Dir (n-1)], from the steady state
// for a constant input p[0]: the reference recursion.
template <int Dir>
void plainPass(const Biquad& s, double* p, std::size_t n) {
    if (n == 0) return;
    double x1 = p[0], x2 = p[0];
    double y1 = s.dcGain() * p[0], y2 = y1;
    for (std::size_t k = 0; k < n; ++k) {
        double& v = p[Dir * static_cast<std::ptrdiff_t>(k)];
        const double x = v;
        const double y = s.a0 * x + s.a1 * x1 + s.a2 * x2 + s.b1 * y1 + s.b2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        v = y;
    }
}

using V4 = double __attribute__((vector_size(32)));
constexpr int kLanes = 4;

// Four segments side by side, `length` samples each, from state[j] =
// {x1, x2, y1, y2} (input and output history); the state at the end is left
// in state[j]. Write replaces the samples by the output; otherwise the run
// only finds the end state.
template <int Dir, bool Write>
KORVEX_ALWAYS_INLINE void runLanes(const Biquad& s, double* const* start, double (*state)[4],
                                   std::size_t length) {
    V4 x1, x2, y1, y2;
    for (int j = 0; j < kLanes; ++j) {
        x1[j] = state[j][0], x2[j] = state[j][1], y1[j] = state[j][2], y2[j] = state[j][3];
    }
    for (std::ptrdiff_t k = 0; k < static_cast<std::ptrdiff_t>(length); ++k) {
        const std::ptrdiff_t at = Dir * k;
        const V4 x = {start[0][at], start[1][at], start[2][at], start[3][at]};
        const V4 y = s.a0 * x + s.a1 * x1 + s.a2 * x2 + s.b1 * y1 + s.b2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        if constexpr (Write) {
            for (int j = 0; j < kLanes; ++j) start[j][at] = y[j];
        }
    }
    for (int j = 0; j < kLanes; ++j) {
        state[j][0] = x1[j], state[j][1] = x2[j], state[j][2] = y1[j], state[j][3] = y2[j];
    }
}

template <int Dir, bool Write>
KORVEX_AVX2 void runLanesAvx2(const Biquad& s, double* const* start, double (*state)[4],
                              std::size_t length) {
    runLanes<Dir, Write>(s, start, state, length);
}

template <int Dir, bool Write>
void runLanesPortable(const Biquad& s, double* const* start, double (*state)[4],
                      std::size_t length) {
    runLanes<Dir, Write>(s, start, state, length);
}

// Segments shorter than this are not worth the extra pass.
constexpr std::size_t kSegmentMin = 4096;
// The largest squared pole radius run in segments: there the segmented
// run's error stays within ten times the plain one's (tested).
constexpr double kSegmentPoleMax = 0.998;

// The plain pass's result, up to rounding, with segments run side by side.
// A first run from zero output history finds each segment's end state; the
// true state entering each segment then follows in order, adding the
// homogeneous response of the true state entering the one before,
// y[k] = Y1 u[k] + Y2 b2 u[k-1] with u[-1] = 1, u[-2] = 0 and
// u[k] = b1 u[k-1] + b2 u[k-2]; a second run from those states writes the
// output, so its rounding is the plain recursion's.
template <int Dir>
void segmentedPass(const Biquad& s, double* p, std::size_t n) {
    const std::size_t groups = threadsFor(n / (kLanes * kSegmentMin));
    const std::size_t segments = groups * kLanes;
    const std::size_t length = n / segments;
    // Poles this near 1 (|b2| = r^2) amplify the rounding of the carried
    // states past the recursion's own: those run plainly.
    if (length < kSegmentMin || std::fabs(s.b2) > kSegmentPoleMax) return plainPass<Dir>(s, p, n);
    const auto at = [p](std::size_t i) { return p + Dir * static_cast<std::ptrdiff_t>(i); };

    // u[length - 3 .. length - 1], by the recursion (it decays: the poles are
    // inside the unit circle, so it may stop once it is below any rounding).
    double u1 = 1.0, u2 = 0.0, u3 = 0.0;  // u[k-1], u[k-2], u[k-3]
    for (std::size_t k = 0; k < length && (std::fabs(u1) > 1e-300 || std::fabs(u2) > 1e-300); ++k) {
        const double next = s.b1 * u1 + s.b2 * u2;
        u3 = u2, u2 = u1, u1 = next;
    }

    // Input history entering each segment, taken before any is replaced;
    // the first segment's is the steady state for its first input.
    std::vector<double> zero(4 * segments), state(4 * segments);
    for (std::size_t j = 0; j < segments; ++j) {
        zero[4 * j] = state[4 * j] = j == 0 ? *at(0) : *at(j * length - 1);
        zero[4 * j + 1] = state[4 * j + 1] = j == 0 ? *at(0) : *at(j * length - 2);
    }
    state[2] = state[3] = s.dcGain() * *at(0);
    const bool avx2 = cpuHasAvx2();
    const auto run = [&]<bool Write>(std::vector<double>& states) {
        auto* lanes = reinterpret_cast<double(*)[4]>(states.data());
        parallelFor(groups, static_cast<unsigned>(groups), [&](std::size_t g, unsigned) {
            double* starts[kLanes];
            for (std::size_t j = 0; j < kLanes; ++j) starts[j] = at((g * kLanes + j) * length);
            (avx2 ? runLanesAvx2<Dir, Write>
                  : runLanesPortable<Dir, Write>)(s, starts, lanes + g * kLanes, length);
        });
    };
    run.template operator()<false>(zero);
    for (std::size_t j = 0; j + 1 < segments; ++j) {
        const double Y1 = state[4 * j + 2], Y2 = state[4 * j + 3] * s.b2;
        state[4 * j + 6] = zero[4 * j + 2] + Y1 * u1 + Y2 * u2;
        state[4 * j + 7] = zero[4 * j + 3] + Y1 * u2 + Y2 * u3;
    }
    run.template operator()<true>(state);
    // The last segment runs on over the remainder.
    double x1 = state[4 * segments - 4], x2 = state[4 * segments - 3];
    double y1 = state[4 * segments - 2], y2 = state[4 * segments - 1];
    for (std::size_t i = segments * length; i < n; ++i) {
        const double x = *at(i);
        const double y = s.a0 * x + s.a1 * x1 + s.a2 * x2 + s.b1 * y1 + s.b2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        *at(i) = y;
    }
}

template <int Dir>
void pass(const Biquad& s, double* p, std::size_t n, bool plain) {
    if (plain) return plainPass<Dir>(s, p, n);
    segmentedPass<Dir>(s, p, n);
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
    std::vector<double> ext(n + 2 * pad);
    for (std::size_t k = 0; k < pad; ++k) {
        ext[k] = 2 * in[0] - in[pad - k];
        ext[pad + n + k] = 2 * in[n - 1] - in[n - 2 - k];
    }
    std::copy(in.begin(), in.end(), ext.begin() + static_cast<std::ptrdiff_t>(pad));
    pass<1>(s, ext.data(), ext.size(), plain);
    pass<-1>(s, ext.data() + ext.size() - 1, ext.size(), plain);
    std::copy_n(ext.begin() + static_cast<std::ptrdiff_t>(pad), n, out.begin());
}

}  // namespace korvex
