#include "pulse/time_history.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

// The batch formatter's first pass must not pay a call per number.
#if defined(__GNUC__)
#define KORVEX_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define KORVEX_ALWAYS_INLINE inline
#endif

namespace korvex {
namespace {

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
char* putExponent(char* p, int e) {
    *p++ = 'e';
    *p++ = e < 0 ? '-' : '+';
    if (e < 0) e = -e;
    *p++ = static_cast<char>('0' + e / 100);
    std::memcpy(p, kDigitPairs + 2 * (e % 100), 2);
    return p + 2;
}

// Correctly rounded fallback: to_chars, with its exponent widened to three digits.
void putScientificSlow(char* p, double x, int digits) {
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, digits - 1);
    const char* ePos = static_cast<const char*>(std::memchr(buf, 'e', res.ptr - buf));
    const std::size_t mantissaLen = static_cast<std::size_t>(ePos - buf);
    std::memcpy(p, buf, mantissaLen);
    int e = 0;
    std::from_chars(ePos + 2, res.ptr, e);
    putExponent(p + mantissaLen, ePos[1] == '-' ? -e : e);
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
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    const int e2 = static_cast<int>(bits >> 52) - 1023;
    // floor(e2 * log10(2)) is the decimal exponent or one less than it.
    e = (e2 * 78913) >> 18;
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

std::uint64_t pairAt(std::uint32_t v) {
    std::uint16_t pair;
    std::memcpy(&pair, kDigitPairs + 2 * v, 2);
    return pair;
}

// The %e form of r x 10^(e - Digits + 1), r as fastDecimal gives it:
// Digits + 6 bytes, the mantissa built in a register and stored at once.
template <int Digits>
void putDigits(char* p, std::uint32_t r, int e) {
    static_assert(std::endian::native == std::endian::little);
    constexpr std::uint32_t lo = Digits == 7 ? 1'000'000 : 10'000;
    const std::uint32_t lead = r / lo;
    std::uint32_t rest = r - lead * lo;
    std::uint64_t word = ('0' + lead) | (std::uint64_t{'.'} << 8);
    if constexpr (Digits == 7) {
        const std::uint32_t a = rest / 10000, b = rest % 10000;
        word |= pairAt(a) << 16 | pairAt(b / 100) << 32 | pairAt(b % 100) << 48;
    } else {
        word |= pairAt(rest / 100) << 16 | pairAt(rest % 100) << 32;
    }
    std::memcpy(p, &word, Digits + 1);
    putExponent(p + Digits + 1, e);
}

template <int Digits>
constexpr const char* kZero = Digits == 7 ? "0.000000e+000" : "0.0000e+000";

// Writes |x| (finite, positive or zero) in %e form with `Digits`
// significant digits and a three-digit exponent: Digits + 6 bytes.
template <int Digits>
void putMagnitude(char* p, double x) {
    std::uint32_t r;
    int e;
    if (x == 0.0) {
        std::memcpy(p, kZero<Digits>, Digits + 6);
    } else if (fastDecimal<Digits>(x, r, e)) {
        putDigits<Digits>(p, r, e);
    } else {
        putScientificSlow(p, x, Digits);
    }
}

// Right-aligns x in a field one byte wider than its positive %e form, so
// the first byte is the sign or a blank.
template <int Digits>
void putField(char* field, double x) {
    constexpr int kWidth = Digits + 7;
    if (!std::isfinite(x)) {
        // The sign of a NaN means nothing and differs between processors.
        const char* text = std::isnan(x) ? "nan" : (x < 0 ? "-inf" : "inf");
        const std::size_t len = std::strlen(text);
        std::memset(field, ' ', kWidth - len);
        std::memcpy(field + kWidth - len, text, len);
        return;
    }
    field[0] = std::signbit(x) ? '-' : ' ';
    putMagnitude<Digits>(field + 1, std::fabs(x));
}

}  // namespace

void formatTimeHistoryLineTo(char* out, double time, double amplitude) {
    out[0] = ' ';
    putField<7>(out + 1, time);  // 14 bytes
    std::memcpy(out + 15, " \t ", 3);
    putField<5>(out + 18, amplitude);  // 12 bytes
    std::memcpy(out + 30, " \r\n", 3);
}

std::string formatTimeHistoryLine(double time, double amplitude) {
    std::string line(kTimeHistoryLineSize, ' ');
    formatTimeHistoryLineTo(line.data(), time, amplitude);
    return line;
}

void writeTimeHistory(OutputSink& sink, const PulseSeries& series) {
    for (int i = 0; i < series.count; ++i) {
        char* line = sink.reserve(kTimeHistoryLineSize);
        formatTimeHistoryLineTo(line, series.time[i], series.amplitude[i]);
        sink.commit(kTimeHistoryLineSize);
    }
}

void formatTimeHistoryLines(char* out, const double* times, const double* amplitudes,
                            std::size_t count) {
    // In two passes over a block: first every number's digits as integers,
    // then the text. The passes have no chain of dependences from one line
    // to the next, so the processor overlaps many lines at once.
    constexpr std::size_t kBlock = 128;
    std::uint32_t tr[kBlock], ar[kBlock];
    int te[kBlock], ae[kBlock];
    bool fast[kBlock];
    for (std::size_t first = 0; first < count; first += kBlock) {
        const std::size_t n = std::min(kBlock, count - first);
        const double* t = times + first;
        const double* a = amplitudes + first;
        for (std::size_t k = 0; k < n; ++k) {
            // Zero amplitudes (most of a long record) need no digits.
            const double at = std::fabs(t[k]), aa = std::fabs(a[k]);
            ar[k] = 0;
            fast[k] = at != 0.0 && fastDecimal<7>(at, tr[k], te[k]) &&
                      (aa == 0.0 || fastDecimal<5>(aa, ar[k], ae[k]));
        }
        for (std::size_t k = 0; k < n; ++k) {
            char* line = out + (first + k) * kTimeHistoryLineSize;
            if (!fast[k]) {
                formatTimeHistoryLineTo(line, t[k], a[k]);
                continue;
            }
            std::memcpy(line, "                \t  0.0000e+000 \r\n", kTimeHistoryLineSize);
            if (std::signbit(t[k])) line[1] = '-';
            putDigits<7>(line + 2, tr[k], te[k]);
            if (std::signbit(a[k])) line[18] = '-';
            if (ar[k] != 0) putDigits<5>(line + 19, ar[k], ae[k]);
        }
    }
}

void writePulseTimeHistory(OutputSink& sink, const PulseParameters& params) {
    const SamplePlan plan = planSamples(params);
    // Samples a piece at a time in arrays that stay in the first-level
    // cache, and their lines formatted straight into the sink's buffer.
    constexpr int kPiece = 1024;
    const int perReserve =
        static_cast<int>(std::min<std::size_t>(kPiece, sink.maxReserve() / kTimeHistoryLineSize));
    double times[kPiece], amplitudes[kPiece];
    for (int first = 0; first < plan.count; first += kPiece) {
        const int end = std::min(plan.count, first + kPiece);
        computePulseSamples(params, plan, first, end, times, amplitudes);
        for (int i = 0; i < end - first;) {
            const auto lines = static_cast<std::size_t>(std::min(perReserve, end - first - i));
            formatTimeHistoryLines(sink.reserve(lines * kTimeHistoryLineSize), times + i,
                                   amplitudes + i, lines);
            sink.commit(lines * kTimeHistoryLineSize);
            i += static_cast<int>(lines);
        }
    }
}

}  // namespace korvex
