#include "analysis/trust/sample_scan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "pulse/simd.h"

namespace korvex {
namespace {

// Two lanes (SSE2, every x86-64), two of them side by side per step.
using V2 = double __attribute__((vector_size(16)));
using M2 = long long __attribute__((vector_size(16)));

KORVEX_ALWAYS_INLINE V2 load(const double* p) {
    V2 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

KORVEX_ALWAYS_INLINE bool anyOf(M2 m) {
    return (m[0] | m[1]) != 0;
}

}  // namespace

SampleScan scanSamples(std::span<const double> x) {
    SampleScan s;
    const std::size_t n = x.size();
    if (n == 0) return s;
    V2 lo[2], hi[2], sum[2] = {}, bad[2] = {};
    lo[0] = lo[1] = hi[0] = hi[1] = V2{x[0], x[0]};
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        for (int k = 0; k < 2; ++k) {
            const V2 v = load(&x[i + 2 * k]);
            lo[k] = v < lo[k] ? v : lo[k];
            hi[k] = v > hi[k] ? v : hi[k];
            sum[k] += v;
            bad[k] += v - v;  // NaN for a NaN or an infinity, else 0
        }
    }
    double low = std::min({lo[0][0], lo[0][1], lo[1][0], lo[1][1]});
    double high = std::max({hi[0][0], hi[0][1], hi[1][0], hi[1][1]});
    double total = (sum[0][0] + sum[0][1]) + (sum[1][0] + sum[1][1]);
    double wrong = (bad[0][0] + bad[0][1]) + (bad[1][0] + bad[1][1]);
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

std::size_t findEither(std::span<const double> x, std::size_t i, double a, double b) {
    const V2 va = {a, a}, vb = {b, b};
    for (; i + 8 <= x.size(); i += 8) {
        M2 hit = {};
        for (int k = 0; k < 4; ++k) {
            const V2 p = load(&x[i + 2 * k]);
            hit |= (p == va) | (p == vb);
        }
        if (anyOf(hit)) break;
    }
    while (i < x.size() && !(x[i] == a || x[i] == b)) ++i;
    return i;
}

std::size_t findMagnitude(std::span<const double> x, std::size_t i, double level) {
    const V2 l = {level, level}, zero = {};
    for (; i + 8 <= x.size(); i += 8) {
        M2 hit = {};
        for (int k = 0; k < 4; ++k) {
            const V2 p = load(&x[i + 2 * k]);
            hit |= (p < zero ? -p : p) >= l;
        }
        if (anyOf(hit)) break;
    }
    while (i < x.size() && !(std::fabs(x[i]) >= level)) ++i;
    return i;
}

double sumBeforeMagnitude(std::span<const double> x, std::size_t i, double level,
                          std::size_t& end) {
    const V2 l = {level, level}, zero = {};
    V2 sum = {};
    for (; i + 8 <= x.size(); i += 8) {
        M2 hit = {};
        V2 block = {};
        for (int k = 0; k < 4; ++k) {
            const V2 p = load(&x[i + 2 * k]);
            hit |= (p < zero ? -p : p) >= l;
            block += p;
        }
        if (anyOf(hit)) break;
        sum += block;
    }
    double total = sum[0] + sum[1];
    for (; i < x.size() && !(std::fabs(x[i]) >= level); ++i) total += x[i];
    end = i;
    return total;
}

}  // namespace korvex
