#include "analysis/trust/sample_scan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "pulse/simd.h"

namespace korvex {
namespace {

// Two lanes (SSE2, every x86-64), four of them side by side per step so no
// chain of dependent operations sets the pace.
using V2 = double __attribute__((vector_size(16)));
using M2 = long long __attribute__((vector_size(16)));
constexpr std::size_t kStep = 8;
// Samples checked before a block's sum is taken (from the first level cache).
constexpr std::size_t kBlock = 64;

KORVEX_ALWAYS_INLINE V2 load(const double* p) {
    V2 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

KORVEX_ALWAYS_INLINE V2 magnitude(V2 v) {
    const M2 noSign = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL};
    return reinterpret_cast<V2>(reinterpret_cast<M2>(v) & noSign);
}

// Whether any of the kStep samples at p has a magnitude of at least l.
KORVEX_ALWAYS_INLINE bool anyReaches(const double* p, V2 l) {
    const M2 a = magnitude(load(p)) >= l, b = magnitude(load(p + 2)) >= l;
    const M2 c = magnitude(load(p + 4)) >= l, d = magnitude(load(p + 6)) >= l;
    const M2 m = (a | b) | (c | d);
    return (m[0] | m[1]) != 0;
}

}  // namespace

SampleScan scanSamples(std::span<const double> x) {
    SampleScan s;
    const std::size_t n = x.size();
    if (n == 0) return s;
    V2 lo[4], hi[4], sum[4] = {}, bad[4] = {};
    for (int k = 0; k < 4; ++k) lo[k] = hi[k] = V2{x[0], x[0]};
    std::size_t i = 0;
    for (; i + kStep <= n; i += kStep) {
        for (int k = 0; k < 4; ++k) {
            const V2 v = load(&x[i + 2 * k]);
            lo[k] = v < lo[k] ? v : lo[k];
            hi[k] = v > hi[k] ? v : hi[k];
            sum[k] += v;
            bad[k] += v - v;  // NaN for a NaN or an infinity, else 0
        }
    }
    double low = x[0], high = x[0], total = 0.0, wrong = 0.0;
    for (int k = 0; k < 4; ++k) {
        low = std::min({low, lo[k][0], lo[k][1]});
        high = std::max({high, hi[k][0], hi[k][1]});
        total += sum[k][0] + sum[k][1];
        wrong += bad[k][0] + bad[k][1];
    }
    for (; i < n; ++i) {
        low = std::min(low, x[i]);
        high = std::max(high, x[i]);
        total += x[i];
        wrong += x[i] - x[i];
    }
    s.low = low;
    s.high = high;
    s.sum = total;
    s.finite = wrong == 0.0;
    s.largest = std::max(std::fabs(low), std::fabs(high));
    return s;
}

std::size_t findMagnitude(std::span<const double> x, std::size_t i, double level) {
    const V2 l = {level, level};
    for (; i + kStep <= x.size() && !anyReaches(&x[i], l); i += kStep) {
    }
    while (i < x.size() && !(std::fabs(x[i]) >= level)) ++i;
    return i;
}

LevelsAndTail scanLevelsAndTail(std::span<const double> x, double a, double b, std::size_t from,
                                double level) {
    LevelsAndTail r;
    const std::size_t n = x.size();
    bool tail = from < n;
    r.tailEnd = std::min(from, n);
    const V2 va = {a, a}, vb = {b, b}, l = {level, level};
    V2 sum[4] = {};
    double rest = 0.0;
    // One sample done plainly: a level, and the tail's sum or its end.
    const auto one = [&](std::size_t i) {
        if (x[i] == a || x[i] == b) r.atLevel.push_back(i);
        if (!tail || i < from) return;
        if (std::fabs(x[i]) >= level) {
            r.tailEnd = i;
            tail = false;
        } else {
            rest += x[i];
        }
    };
    std::size_t i = 0;
    for (; i + kStep <= n; i += kStep) {
        M2 m[4];
        for (int k = 0; k < 4; ++k) {
            const V2 v = load(&x[i + 2 * k]);
            m[k] = (v == va) | (v == vb);
        }
        const M2 any = (m[0] | m[1]) | (m[2] | m[3]);
        const bool level8 = (any[0] | any[1]) != 0;
        const bool tail8 = tail && i + kStep > from;
        if (!level8 && tail8 && i >= from && !anyReaches(&x[i], l)) {
            for (int k = 0; k < 4; ++k) sum[k] += load(&x[i + 2 * static_cast<std::size_t>(k)]);
        } else if (level8 || tail8) {
            for (std::size_t k = i; k < i + kStep; ++k) one(k);
        }
    }
    for (; i < n; ++i) one(i);
    if (tail) r.tailEnd = n;
    for (const V2& v : sum) rest += v[0] + v[1];
    r.tailSum = rest;
    return r;
}

}  // namespace korvex
