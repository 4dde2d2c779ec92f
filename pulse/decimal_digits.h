// The decimal digits of the time-history numbers: tables and the fast
// rounding that the line formatter and both batch formatters share, so
// that every path gives the same digits.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "pulse/simd.h"

namespace korvex::digits {

// 10^0 .. 10^22 are exact doubles, so scaling by one of them rounds once.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPow10 = 22;

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Decade thresholds 1e-20 .. 1e30 for picking the decimal exponent; the
// negative ones are the nearest doubles, and that is close enough: a value
// put in the wrong decade by it rounds to the same digits either way.
constexpr int kThresholdMin = -20;
constexpr double kThreshold[] = {
    1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8,
    1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,  1e5,
    1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17, 1e18,
    1e19,  1e20,  1e21,  1e22,  1e23,  1e24,  1e25,  1e26,  1e27,  1e28,  1e29,  1e30};

// "e+ddd": always three exponent digits, which covers every double.
inline char* putExponent(char* p, int e) {
    *p++ = 'e';
    *p++ = e < 0 ? '-' : '+';
    if (e < 0) e = -e;
    *p++ = static_cast<char>('0' + e / 100);
    std::memcpy(p, kDigitPairs + 2 * (e % 100), 2);
    return p + 2;
}

// floor(e2 * log10(2)) by a multiply and shift: 78913 / 2^18 is log10(2)
// close enough for every binary exponent a double has (see the check below).
inline constexpr int kLog10Of2Times2To18 = 78913;
constexpr int floorLog10Of2Power(int e2) {
    return (e2 * kLog10Of2Times2To18) >> 18;
}

// The exact floor(e2 * log10(2)), from log10(2) to 15 digits: for
// |e2| < 1100 that errs by under 1e-12, while e2 * log10(2) stays more than
// 1e-4 from every integer but at e2 = 0.
constexpr bool log10EstimateExact() {
    constexpr long long kLog10Of2E15 = 301029995663981;
    constexpr long long kE15 = 1000000000000000;
    for (int e2 = -1100; e2 <= 1100; ++e2) {
        const long long scaled = e2 * kLog10Of2E15;
        long long floor = scaled / kE15;
        if (scaled % kE15 != 0 && scaled < 0) --floor;
        if (floorLog10Of2Power(e2) != floor) return false;
    }
    return true;
}
static_assert(log10EstimateExact(), "the decade estimate is exact for every double's exponent");

// floor(e2 * log10(2)) for the binary exponent e2 of x (finite, positive):
// its decimal exponent or one less than it.
KORVEX_ALWAYS_INLINE int decadeEstimate(double x) {
    const int e2 = static_cast<int>(std::bit_cast<std::uint64_t>(x) >> 52) - 1023;
    return floorLog10Of2Power(e2);
}

// |x| (finite, positive) to `Digits` significant digits: the digits as an
// integer r in [10^(Digits-1), 10^Digits) and the decimal exponent e. Fast
// path: scale by an exact power of ten (one rounding) and round to an
// integer. Returns false, for the exact formatter to take over, outside the
// tables' range and whenever that rounding error could decide the last digit
// (a near tie).
template <int Digits>
KORVEX_ALWAYS_INLINE bool fastDecimal(double x, std::uint32_t& r, int& e) {
    constexpr std::uint32_t lo = Digits == 7 ? 1'000'000 : 10'000;
    constexpr std::uint32_t hi = lo * 10;
    e = decadeEstimate(x);
    const int s = Digits - 1 - e;
    if (e + 1 < kThresholdMin || e + 1 > 30 || s > kMaxExactPow10 || s - 1 < -kMaxExactPow10) {
        return false;
    }
    const bool up = x >= kThreshold[e + 1 - kThresholdMin];
    e += up;
    const int scale = s - up;
    const double y = scale >= 0 ? x * kPow10[scale] : x / kPow10[-scale];

    // y is within half an ulp of the exact scaled value; only a fraction
    // that close to one half leaves the rounding in doubt.
    const std::uint32_t floorY = static_cast<std::uint32_t>(y);
    const double frac = y - static_cast<double>(floorY);  // exact
    if (std::fabs(frac - 0.5) <= y * 0x1p-50) return false;
    r = floorY + (frac > 0.5 ? 1u : 0u);
    if (r >= hi) {  // 9.99..96 rounded up a decade
        r = lo;
        ++e;
    }
    return true;
}

inline std::uint64_t pairAt(std::uint32_t v) {
    std::uint16_t pair;
    std::memcpy(&pair, kDigitPairs + 2 * v, 2);
    return pair;
}

// The mantissa "d.dd..." of r (Digits significant digits) in the low
// Digits + 1 bytes of a word.
template <int Digits>
KORVEX_ALWAYS_INLINE std::uint64_t mantissaWord(std::uint32_t r) {
    static_assert(std::endian::native == std::endian::little);
    constexpr std::uint32_t lo = Digits == 7 ? 1'000'000 : 10'000;
    const std::uint32_t lead = r / lo;
    const std::uint32_t rest = r - lead * lo;
    std::uint64_t word = ('0' + lead) | (std::uint64_t{'.'} << 8);
    if constexpr (Digits == 7) {
        const std::uint32_t a = rest / 10000, b = rest % 10000;
        word |= pairAt(a) << 16 | pairAt(b / 100) << 32 | pairAt(b % 100) << 48;
    } else {
        word |= pairAt(rest / 100) << 16 | pairAt(rest % 100) << 32;
    }
    return word;
}

// The five exponent bytes "e+ddd" of every exponent the fast path gives,
// each followed by the three bytes that end its field in a line: one
// 8-byte store per number.
constexpr int kWordExpMin = kThresholdMin - 2, kWordExpMax = 32;

constexpr std::uint64_t exponentWord(int e, const char* tail) {
    const int m = e < 0 ? -e : e;
    const char bytes[8] = {'e',
                           e < 0 ? '-' : '+',
                           static_cast<char>('0' + m / 100),
                           static_cast<char>('0' + m / 10 % 10),
                           static_cast<char>('0' + m % 10),
                           tail[0],
                           tail[1],
                           tail[2]};
    std::uint64_t w = 0;
    for (int i = 7; i >= 0; --i) w = w << 8 | static_cast<unsigned char>(bytes[i]);
    return w;
}

struct ExponentWords {
    std::uint64_t time[kWordExpMax - kWordExpMin + 1];       // then " \t "
    std::uint64_t amplitude[kWordExpMax - kWordExpMin + 1];  // then " \r\n"
};

constexpr ExponentWords makeExponentWords() {
    ExponentWords w{};
    for (int e = kWordExpMin; e <= kWordExpMax; ++e) {
        w.time[e - kWordExpMin] = exponentWord(e, " \t ");
        w.amplitude[e - kWordExpMin] = exponentWord(e, " \r\n");
    }
    return w;
}

inline constexpr ExponentWords kExponentWords = makeExponentWords();

KORVEX_ALWAYS_INLINE void store8(char* p, std::uint64_t w) {
    std::memcpy(p, &w, 8);
}

}  // namespace korvex::digits
