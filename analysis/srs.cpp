#include "analysis/srs.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>

#include "pulse/number_text.h"
#include "pulse/parallel.h"
#include "pulse/pulse_series.h"
#include "pulse/simd.h"

// Each filter is a chain of dependent multiply-adds; the speed comes from
// running several frequencies side by side in vector lanes, 256 bits wide
// where the processor has AVX2. Both builds of the loop do the same
// operations in the same order (no fused multiply-add), so they give the
// same bits.
namespace korvex {
namespace {

std::string number(double x) {
    return humanText(x);
}

// Four doubles as one value: one vector register with AVX2, two without.
// Only inline functions of this file pass these by value: no ABI to keep.
#pragma GCC diagnostic ignored "-Wpsabi"
using Vec = double __attribute__((vector_size(32)));
inline Vec broadcast(double x) {
    return Vec{x, x, x, x};
}
inline Vec maxOf(const Vec& a, const Vec& b) {
    return a > b ? a : b;
}
inline Vec minOf(const Vec& a, const Vec& b) {
    return a < b ? a : b;
}

constexpr int kVectors = 2;               // independent chains per step
constexpr int kLanes = 4 * kVectors;      // frequencies filtered together
constexpr int kCheckInterval = 256;       // samples between early-stop checks
constexpr int kCancelInterval = 1 << 16;  // samples between looks at the cancel flag
constexpr double kUnitRoundoff = 0x1p-53;

struct Lanes {
    Vec b0[kVectors], b1[kVectors], b2[kVectors], a1[kVectors], a2[kVectors];
    Vec y1[kVectors], y2[kVectors];  // y[n-1], y[n-2]
    Vec pos[kVectors], neg[kVectors];
    double x1 = 0.0, x2 = 0.0;  // x[n-1], x[n-2]
};

// Runs the recurrence over x[begin, end) for every lane, each lane exactly
// as a scalar loop would. Locals keep the state in registers: the compiler
// cannot prove that stores to `s` leave `x` alone.
KORVEX_ALWAYS_INLINE void filterSteps(Lanes& s, const double* x, int begin, int end) {
    Vec b0[kVectors], b1[kVectors], b2[kVectors], a1[kVectors], a2[kVectors];
    // The negative peak is kept as the lowest response, -neg: the same
    // comparisons (y < -neg exactly when -y > neg) without negating every y.
    Vec y1[kVectors], y2[kVectors], pos[kVectors], low[kVectors];
    for (int j = 0; j < kVectors; ++j) {
        b0[j] = s.b0[j], b1[j] = s.b1[j], b2[j] = s.b2[j], a1[j] = s.a1[j], a2[j] = s.a2[j];
        y1[j] = s.y1[j], y2[j] = s.y2[j], pos[j] = s.pos[j], low[j] = -s.neg[j];
    }
    Vec x1 = broadcast(s.x1), x2 = broadcast(s.x2);
    for (int n = begin; n < end; ++n) {
        const Vec x0 = broadcast(x[n]);
        for (int j = 0; j < kVectors; ++j) {
            const Vec y = b0[j] * x0 + b1[j] * x1 + b2[j] * x2 - a1[j] * y1[j] - a2[j] * y2[j];
            y2[j] = y1[j];
            y1[j] = y;
            pos[j] = maxOf(y, pos[j]);
            low[j] = minOf(y, low[j]);
        }
        x2 = x1;
        x1 = x0;
    }
    for (int j = 0; j < kVectors; ++j) {
        s.y1[j] = y1[j], s.y2[j] = y2[j], s.pos[j] = pos[j], s.neg[j] = -low[j];
    }
    s.x1 = x1[0];
    s.x2 = x2[0];
}

KORVEX_AVX2 void filterRunAvx2(Lanes& s, const double* x, int begin, int end) {
    filterSteps(s, x, begin, end);
}

void filterRunPortable(Lanes& s, const double* x, int begin, int end) {
    filterSteps(s, x, begin, end);
}

void filterRun(Lanes& s, const double* x, int begin, int end) {
    if (cpuHasAvx2()) {
        filterRunAvx2(s, x, begin, end);
    } else {
        filterRunPortable(s, x, begin, end);
    }
}

// Once the input is zero for good, a filter rings down freely. With poles
// r e^(+-iB) (from the rounded a1 and a2), the free response starting at
// y[n-2], y[n-1] stays within M r^k, M = sqrt(y0^2 + ((y0 r cos B - y1) /
// (r sin B))^2). Rounding in the recurrence can add at most kappa M / (1 -
// kappa), kappa = 6.01 u / ((1 - r) sin B), and computing M itself errs by
// less than about 4u / (r sin B) + u / sin^2 B. `margin` covers all of that
// generously; when the filter is too close to undamped for such a bound,
// the lane is never stopped (margin infinite).
struct RingDown {
    double rcos, rsin, margin;
};

RingDown ringDown(const SrsFilter& f) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double u = kUnitRoundoff;
    const double r = std::sqrt(f.a2);
    const double rcos = -f.a1 / 2;
    const double rsin2 = f.a2 - rcos * rcos;
    if (!(r < 1.0) || !(rsin2 > 0.0)) return {rcos, 0.0, kInf};
    const double rsin = std::sqrt(rsin2);
    const double sinB = rsin / r;
    const double kappa = 6.01 * u / ((1.0 - r) * sinB);
    const double eta = 2 * kappa + 8 * u / rsin + 2 * u / (sinB * sinB) + 16 * u;
    return {rcos, rsin, eta < 1e-3 ? 1.0 + eta : kInf};
}

// True when no later sample of lane j can raise either peak: the bound
// lies below both, or the response is exactly zero for good.
bool rungDown(const Lanes& s, const RingDown& d, int lane) {
    const int v = lane / 4, j = lane % 4;
    const double y0 = s.y2[v][j], y1 = s.y1[v][j];
    if (y0 == 0.0 && y1 == 0.0) return true;
    const double c = (y0 * d.rcos - y1) / d.rsin;
    const double bound = std::sqrt(y0 * y0 + c * c) * d.margin;
    return bound < s.pos[v][j] && bound < s.neg[v][j];
}

// The input after the record: zero for good.
constexpr double kZeros[kCheckInterval] = {};

// Frequencies [first, first + kLanes) of the plan; lanes past the end repeat
// the last frequency and are dropped. The systems run on after the record,
// on zero input, until the ring-down bound shows that no later sample can
// raise a peak: the residual response counts as much as the rest.
void runBlock(std::span<const double> x, int last, const std::vector<SrsFilter>& filters,
              std::size_t first, SrsPoint* out, const std::atomic<bool>* cancel,
              SrsProgress* progress) {
    Lanes s;
    RingDown ring[kLanes];
    for (int lane = 0; lane < kLanes; ++lane) {
        const SrsFilter& f = filters[std::min(first + lane, filters.size() - 1)];
        const int v = lane / 4, j = lane % 4;
        s.b0[v][j] = f.b0, s.b1[v][j] = f.b1, s.b2[v][j] = f.b2;
        s.a1[v][j] = f.a1, s.a2[v][j] = f.a2;
        s.y1[v][j] = s.y2[v][j] = 0.0;
        s.pos[v][j] = s.neg[v][j] = -std::numeric_limits<double>::infinity();
        ring[lane] = ringDown(f);
    }
    const int count = static_cast<int>(x.size());
    // From `quiet` on, x[n], x[n-1] and x[n-2] are all zero, past the end
    // of the record included, and the lanes are checked for having rung down.
    const std::int64_t quiet = std::int64_t{last} + 3;
    std::int64_t n = 0;
    for (;;) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) break;
        if (n >= quiet) {
            bool all = true;
            for (int j = 0; j < kLanes && all; ++j) all = rungDown(s, ring[j], j);
            if (all) break;
        }
        std::int64_t end;
        if (n < count) {
            end = n < quiet ? std::min({quiet, std::int64_t{count}, n + kCancelInterval})
                            : std::min(std::int64_t{count}, n + kCheckInterval);
            filterRun(s, x.data(), static_cast<int>(n), static_cast<int>(end));
        } else {
            end = n + kCheckInterval;
            filterRun(s, kZeros, 0, kCheckInterval);
        }
        if (progress != nullptr) progress->done += static_cast<std::uint64_t>(end - n);
        n = end;
    }
    const std::size_t lanes = std::min<std::size_t>(kLanes, filters.size() - first);
    for (std::size_t lane = 0; lane < lanes; ++lane) {
        SrsPoint& p = out[lane];
        p.positive = s.pos[lane / 4][lane % 4];
        p.negative = s.neg[lane / 4][lane % 4];
        p.maximax = std::max(p.positive, p.negative);
    }
}

}  // namespace

SrsPlan planShockSpectrum(const SrsSettings& settings, double intervalS) {
    SrsPlan plan;
    plan.intervalS = intervalS;
    const double fs = 1.0 / intervalS;
    if (!(settings.q > 0.5)) {
        throw SrsSettingError(SrsSetting::Q,
                              "Q must be greater than 0.5 (at 0.5 and below the "
                              "systems do not ring), got " +
                                  number(settings.q));
    }
    plan.q = settings.q;
    plan.kind = settings.kind;
    if (!(intervalS > 0.0) || !std::isfinite(fs)) {
        throw SrsSettingError(SrsSetting::Interval, "the sample interval, " + number(intervalS) +
                                                        " s, is too short for a spectrum");
    }
    plan.fromHz = settings.fromHz.value_or(10.0);
    if (!(plan.fromHz > 0.0)) {
        throw SrsSettingError(
            SrsSetting::From,
            "the lowest frequency must be greater than 0 Hz, got " + number(plan.fromHz));
    }
    plan.toHz = settings.toHz.value_or(fs / 10);
    const std::string to = settings.toHz ? "the highest frequency " + number(plan.toHz) + " Hz"
                                         : "the highest frequency, by default a tenth of the "
                                           "sample rate, " +
                                               number(plan.toHz) + " Hz,";
    if (!(plan.toHz >= plan.fromHz)) {
        throw SrsSettingError(SrsSetting::To,
                              to + " is below the lowest, " + number(plan.fromHz) + " Hz");
    }
    if (!(plan.toHz < fs / 2)) {
        throw SrsSettingError(SrsSetting::To,
                              to + " is not below half the sample rate, " + number(fs / 2) + " Hz");
    }
    const double n = settings.perOctave;
    if (!(n >= 1 && n <= 48 && n == std::floor(n))) {
        throw SrsSettingError(
            SrsSetting::PerOctave,
            "the frequencies per octave must be an integer from 1 to 48, got " + number(n));
    }
    plan.perOctave = static_cast<int>(n);
    // Counted by logarithms first, which neither overflow nor take long.
    const double limit = plan.toHz * (1 + 1e-9);
    const double octaves = std::log2(plan.toHz) - std::log2(plan.fromHz);
    const double count = std::floor(octaves * plan.perOctave) + 1;
    if (count > kMaxSrsFrequencies) {
        throw SrsSettingError(SrsSetting::Count,
                              "the settings ask for " + number(count) + " frequencies (" +
                                  number(plan.fromHz) + " Hz to " + number(plan.toHz) + " Hz, " +
                                  std::to_string(plan.perOctave) + " per octave); at most " +
                                  std::to_string(kMaxSrsFrequencies) + " can be computed");
    }
    // The filters' poles move towards 1 as the frequency falls; below some
    // frequency double precision no longer tells them from an undamped
    // system, or the coefficients are not numbers at all.
    const SrsFilter lowest = srsFilter(plan.fromHz, intervalS, plan.q, plan.kind);
    const bool finite = std::isfinite(lowest.b0) && std::isfinite(lowest.b1) &&
                        std::isfinite(lowest.b2) && std::isfinite(lowest.a1) &&
                        std::isfinite(lowest.a2);
    // The free vibration after the record is followed until a bound shows
    // it can raise no peak; a filter too close to undamped has no such bound.
    if (!finite || !(lowest.a2 < 1.0) || !std::isfinite(ringDown(lowest).margin)) {
        throw SrsSettingError(SrsSetting::From,
                              "the lowest frequency, " + number(plan.fromHz) +
                                  " Hz, is too low for the sample interval " + number(intervalS) +
                                  " s and Q " + number(plan.q) +
                                  (finite ? ": its filter does not decay in double precision"
                                          : ": its filter coefficients are not finite"));
    }
    for (int k = 0;; ++k) {
        const double f = plan.fromHz * std::exp2(static_cast<double>(k) / plan.perOctave);
        if (!std::isfinite(f)) {
            throw SrsSettingError(SrsSetting::Count, "the frequencies overflow after " +
                                                         number(plan.frequencies.back()) + " Hz");
        }
        if (!(f <= limit)) break;
        plan.frequencies.push_back(f);
    }
    return plan;
}

std::vector<SrsPoint> computeShockSpectrum(std::span<const double> samples, const SrsPlan& plan,
                                           unsigned threads, const std::atomic<bool>* cancel,
                                           SrsProgress* progress) {
    std::vector<SrsPoint> points(plan.frequencies.size());
    for (std::size_t k = 0; k < points.size(); ++k) points[k].frequencyHz = plan.frequencies[k];
    if (points.empty() || samples.empty()) return points;

    // The last sample that is not +0.0: after it the filters ring down. The
    // zeros of a long record are skipped eight at a time.
    const std::uint64_t* bits = reinterpret_cast<const std::uint64_t*>(samples.data());
    std::size_t end = samples.size();
    while (end >= 8) {
        std::uint64_t any = 0;
        for (std::size_t i = end - 8; i < end; ++i) any |= bits[i];
        if (any != 0) break;
        end -= 8;
    }
    while (end > 0 && bits[end - 1] == 0) --end;
    const int last = static_cast<int>(end) - 1;

    const bool finite = std::all_of(samples.begin(), samples.begin() + end,
                                    [](double v) { return std::isfinite(v); });
    if (!finite) {
        return points;  // peaks stay NaN
    }

    std::vector<SrsFilter> filters;
    filters.reserve(points.size());
    for (double f : plan.frequencies) {
        filters.push_back(srsFilter(f, plan.intervalS, plan.q, plan.kind));
    }

    const std::size_t blocks = (points.size() + kLanes - 1) / kLanes;
    if (progress != nullptr) progress->total = blocks * samples.size();
    // Threads pay only for long records; blocks are handed out one at a time.
    const double steps = static_cast<double>(samples.size()) * static_cast<double>(blocks);
    if (steps < 1e6) threads = 1;
    parallelFor(blocks, threads, [&](std::size_t b, unsigned) {
        runBlock(samples, last, filters, b * kLanes, points.data() + b * kLanes, cancel, progress);
    });
    return points;
}

}  // namespace korvex
