#include "analysis/motion.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace korvex {
namespace {

// The first value of largest magnitude, unless there was a NaN.
struct PeakTracker {
    double peak = 0.0;
    bool nan = false;
    void add(double value) {
        if (std::isnan(value)) {
            nan = true;
        } else if (std::fabs(value) > std::fabs(peak)) {
            peak = value;
        }
    }
};

char* writeNumber(char* out, double value) {
    return std::to_chars(out, out + kMotionNumberMaxSize, value).ptr;
}

}  // namespace

void integrateMotion(std::span<const double> accel, double intervalS, std::span<double> velocity,
                     std::span<double> displacement) {
    const std::size_t n = accel.size();
    if (n == 0) return;
    const double dt = intervalS;
    const double* a = accel.data();
    double* v = velocity.data();
    double* x = displacement.data();
    double vLast = 0.0, xLast = 0.0;
    v[0] = x[0] = 0.0;
    for (std::size_t i = 1; i < n; ++i) {
        const double vi = vLast + (a[i - 1] + a[i]) / 2 * dt;
        const double xi = xLast + (vLast + vi) / 2 * dt;
        v[i] = vi;
        x[i] = xi;
        vLast = vi;
        xLast = xi;
    }
}

MotionFigures motionFigures(std::span<const double> velocity,
                            std::span<const double> displacement) {
    MotionFigures f;
    if (velocity.empty()) return f;
    PeakTracker v, x;
    double low = 0.0, high = 0.0;
    for (std::size_t i = 0; i < velocity.size(); ++i) {
        v.add(velocity[i]);
        x.add(displacement[i]);
        low = displacement[i] < low ? displacement[i] : low;
        high = displacement[i] > high ? displacement[i] : high;
    }
    f.peakVelocity = v.nan ? MotionFigures::kNone : v.peak;
    f.finalVelocity = velocity.back();
    f.peakDisplacement = x.nan ? MotionFigures::kNone : x.peak;
    f.finalDisplacement = displacement.back();
    f.displacementPeakToPeak = x.nan ? MotionFigures::kNone : high - low;
    return f;
}

namespace {

// Two lanes of doubles (GCC and Clang vector extensions), for the block
// minima and maxima: the integration itself is two chains of dependent
// additions, which leave room for these beside them.
using Lanes = double __attribute__((vector_size(16)));

// The signed value of largest magnitude among values whose least is `low`
// and greatest `high` (low <= 0 <= high); nullopt on a tie of a nonzero
// magnitude, where only the order of the samples can tell.
std::optional<double> peakOf(double low, double high) {
    if (-low > high) return low;
    if (high > -low || high == 0.0) return high;
    return std::nullopt;
}

// The first velocity (or displacement) of magnitude `m`, integrating again.
double firstOfMagnitude(std::span<const double> accel, double dt, double m, bool velocity) {
    const double* a = accel.data();
    double vLast = 0.0, xLast = 0.0;
    for (std::size_t i = 1; i < accel.size(); ++i) {
        const double vi = vLast + (a[i - 1] + a[i]) / 2 * dt;
        const double xi = xLast + (vLast + vi) / 2 * dt;
        if (std::fabs(velocity ? vi : xi) == m) return velocity ? vi : xi;
        vLast = vi;
        xLast = xi;
    }
    return m;  // not reached: m was one of the values
}

}  // namespace

MotionFigures computeMotion(std::span<const double> accel, double intervalS) {
    MotionFigures f;
    const std::size_t n = accel.size();
    if (n == 0) return f;
    const double dt = intervalS;
    const double* a = accel.data();
    double vLast = 0.0, xLast = 0.0;
    const auto step = [&](std::size_t i, double* v, double* x) {
        const double vi = vLast + (a[i - 1] + a[i]) / 2 * dt;
        const double xi = xLast + (vLast + vi) / 2 * dt;
        *v = vLast = vi;
        *x = xLast = xi;
    };

    // Each block is integrated into one pair of buffers while the minima and
    // maxima of the block before it are taken from the other pair, two at a
    // time: independent work that fills the time the chains of dependent
    // additions leave. The buffers start as zeros, which the record's start
    // holds anyway, and zero padding changes nothing for the same reason.
    constexpr std::size_t kBlock = 256;
    alignas(16) double vBlock[2][kBlock] = {}, xBlock[2][kBlock] = {};
    Lanes vLow{}, vHigh{}, xLow{}, xHigh{};
    const auto take = [&](const double* v, const double* x) {
        Lanes vv, xx;
        std::memcpy(&vv, v, sizeof vv);
        std::memcpy(&xx, x, sizeof xx);
        vLow = vv < vLow ? vv : vLow;
        vHigh = vv > vHigh ? vv : vHigh;
        xLow = xx < xLow ? xx : xLow;
        xHigh = xx > xHigh ? xx : xHigh;
    };
    std::size_t i = 1;
    int current = 0;
    for (; n - i >= kBlock; i += kBlock, current ^= 1) {
        double* v = vBlock[current];
        double* x = xBlock[current];
        const double* vDone = vBlock[current ^ 1];
        const double* xDone = xBlock[current ^ 1];
        // A record just read by other threads is in no cache of this one:
        // asking for the samples 4 KB ahead takes a quarter off.
        const std::uintptr_t ahead = reinterpret_cast<std::uintptr_t>(a + i) + 4096;
        for (std::size_t k = 0; k < kBlock; k += 8)
            __builtin_prefetch(reinterpret_cast<const void*>(ahead + k * sizeof(double)));
        for (std::size_t k = 0; k < kBlock; k += 2) {
            step(i + k, v + k, x + k);
            step(i + k + 1, v + k + 1, x + k + 1);
            take(vDone + k, xDone + k);
        }
    }
    for (std::size_t k = 0; k < kBlock; k += 2)
        take(vBlock[current ^ 1] + k, xBlock[current ^ 1] + k);
    const std::size_t rest = n - i;
    for (std::size_t k = 0; k < rest; ++k) step(i + k, vBlock[current] + k, xBlock[current] + k);
    if (rest % 2 != 0) vBlock[current][rest] = xBlock[current][rest] = 0.0;
    for (std::size_t k = 0; k < rest; k += 2) take(vBlock[current] + k, xBlock[current] + k);

    f.finalVelocity = vLast;
    f.finalDisplacement = xLast;
    // NaN is absorbing in both sums: a NaN anywhere leaves a NaN at the end,
    // and otherwise every value was a number.
    if (!std::isnan(vLast)) {
        const double low = std::min(vLow[0], vLow[1]), high = std::max(vHigh[0], vHigh[1]);
        const std::optional<double> peak = peakOf(low, high);
        f.peakVelocity = peak ? *peak : firstOfMagnitude(accel, dt, high, true);
    }
    if (!std::isnan(xLast)) {
        const double low = std::min(xLow[0], xLow[1]), high = std::max(xHigh[0], xHigh[1]);
        const std::optional<double> peak = peakOf(low, high);
        f.peakDisplacement = peak ? *peak : firstOfMagnitude(accel, dt, high, false);
        f.displacementPeakToPeak = high - low;
    }
    return f;
}

MotionScale motionScale(std::optional<AccelerationUnit> unit) {
    if (!unit) return {};
    // Displacement in mm: m x 1000.
    if (*unit == AccelerationUnit::G) return {kStandardGravity, kStandardGravity * 1000.0};
    return {1.0, 1000.0};
}

MotionFigures scaleMotion(const MotionFigures& f, const MotionScale& s) {
    return {f.peakVelocity * s.velocity, f.finalVelocity * s.velocity,
            f.peakDisplacement * s.displacement, f.finalDisplacement * s.displacement,
            f.displacementPeakToPeak * s.displacement};
}

ShakerCheck checkShakerLimits(const MotionFigures& figures, AccelerationUnit unit,
                              const ShakerLimits& limits) {
    const MotionFigures physical = scaleMotion(figures, motionScale(unit));
    ShakerCheck c;
    c.strokeMm = physical.displacementPeakToPeak;
    c.velocityMps = std::fabs(physical.peakVelocity);
    c.strokeMarginMm = limits.maxStrokeMm - c.strokeMm;
    c.velocityMarginMps = limits.maxVelocityMps - c.velocityMps;
    // Written so that a NaN counts as beyond the limit: nothing shows it is within.
    c.strokeExceeded = !(c.strokeMm <= limits.maxStrokeMm);
    c.velocityExceeded = !(c.velocityMps <= limits.maxVelocityMps);
    return c;
}

std::size_t formatMotionLines(char* out, const RecordView& record, std::span<const double> velocity,
                              std::span<const double> displacement, const MotionScale& scale,
                              std::size_t first, std::size_t end) {
    char* p = out;
    for (std::size_t i = first; i < end; ++i) {
        p = writeNumber(p, record.timeAt(i));
        *p++ = ' ';
        p = writeNumber(p, record.values[i]);
        *p++ = ' ';
        p = writeNumber(p, velocity[i] * scale.velocity);
        *p++ = ' ';
        p = writeNumber(p, displacement[i] * scale.displacement);
        *p++ = '\n';
    }
    return static_cast<std::size_t>(p - out);
}

std::string motionTableHeader(std::optional<AccelerationUnit> unit) {
    std::string units;
    if (!unit) {
        units =
            "time s; acceleration in the amplitude's units, velocity in those x s, "
            "displacement in those x s^2";
    } else {
        units = std::string("time s, acceleration ") +
                (*unit == AccelerationUnit::G ? "g" : "m/s2") + ", velocity m/s, displacement mm";
    }
    return "# motion from rest by the trapezoid rule\n# units: " + units +
           "\n# columns: time_s acceleration velocity displacement\n";
}

}  // namespace korvex
