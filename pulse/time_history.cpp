#include "pulse/time_history.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

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

constexpr std::uint32_t kPow10Int[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

// "e+ddd": always three exponent digits, which covers every double.
char* putExponent(char* p, int e) {
    *p++ = 'e';
    *p++ = e < 0 ? '-' : '+';
    if (e < 0) e = -e;
    *p++ = static_cast<char>('0' + e / 100);
    std::memcpy(p, kDigitPairs + 2 * (e % 100), 2);
    return p + 2;
}

// "d.<fraction digits>e<sign><3 digits>" for significand digits `r`
// (exactly `digits` of them) and decimal exponent `e`. Returns the end.
char* putScientific(char* p, std::uint32_t r, int digits, int e) {
    // Fraction digits from the right, two at a time.
    char* const fractionEnd = p + digits + 1;
    char* q = fractionEnd;
    int left = digits - 1;
    while (left >= 2) {
        const std::uint32_t pair = r % 100;
        r /= 100;
        q -= 2;
        std::memcpy(q, kDigitPairs + 2 * pair, 2);
        left -= 2;
    }
    if (left == 1) {
        *--q = static_cast<char>('0' + r % 10);
        r /= 10;
    }
    p[0] = static_cast<char>('0' + r);
    p[1] = '.';
    return putExponent(fractionEnd, e);
}

// Correctly rounded fallback: to_chars, with its exponent widened to three digits.
char* putScientificSlow(char* p, double x, int digits) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific,
                                   digits - 1);
    const char* ePos = static_cast<const char*>(std::memchr(buf, 'e', res.ptr - buf));
    const std::size_t mantissaLen = static_cast<std::size_t>(ePos - buf);
    std::memcpy(p, buf, mantissaLen);
    int e = 0;
    std::from_chars(ePos + 2, res.ptr, e);
    return putExponent(p + mantissaLen, ePos[1] == '-' ? -e : e);
}

// |x| in %.{digits-1}e form, without the sign. Fast path: scale by an exact
// power of ten (one rounding), round to an integer, and fall back to the
// exact formatter whenever that rounding error could matter (near ties).
char* putMagnitude(char* p, double x, int digits) {
    if (x == 0.0) {
        *p++ = '0';
        *p++ = '.';
        std::memset(p, '0', static_cast<std::size_t>(digits - 1));
        p += digits - 1;
        std::memcpy(p, "e+000", 5);
        return p + 5;
    }
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    const int biased = static_cast<int>(bits >> 52);
    if (biased == 0) return putScientificSlow(p, x, digits);  // subnormal

    // floor(e2 * log10(2)): the decimal exponent, or one less than it.
    const int e2 = biased - 1023;
    int e = (e2 * 78913) >> 18;
    const double lo = kPow10Int[digits - 1];
    const double hi = kPow10Int[digits];

    for (int attempt = 0; attempt < 2; ++attempt) {
        const int s = digits - 1 - e;
        double y;
        if (s >= 0 && s <= kMaxExactPow10) {
            y = x * kPow10[s];
        } else if (s < 0 && -s <= kMaxExactPow10) {
            y = x / kPow10[-s];
        } else {
            return putScientificSlow(p, x, digits);
        }
        if (y >= hi) {
            ++e;
            continue;
        }
        // y is within half an ulp of the exact scaled value; only a fraction
        // that close to one half leaves the rounding in doubt.
        const double floorY = std::floor(y);
        const double frac = y - floorY;  // exact: y >= 1
        if (std::fabs(frac - 0.5) <= y * 0x1p-50) return putScientificSlow(p, x, digits);
        std::uint32_t r = static_cast<std::uint32_t>(floorY) + (frac > 0.5 ? 1u : 0u);
        if (r >= static_cast<std::uint32_t>(hi)) {  // 9.99...95 rounded up a decade
            r = static_cast<std::uint32_t>(lo);
            ++e;
        }
        return putScientific(p, r, digits, e);
    }
    return putScientificSlow(p, x, digits);
}

// Right-aligns x in `width` bytes at `field`.
void putField(char* field, int width, double x, int digits) {
    char buf[32];
    char* p = buf;
    if (std::isnan(x)) {
        // The sign of a NaN means nothing and differs between processors.
        std::memcpy(p, "nan", 3);
        p += 3;
    } else {
        if (std::signbit(x)) *p++ = '-';
        if (std::isinf(x)) {
            std::memcpy(p, "inf", 3);
            p += 3;
        } else {
            p = putMagnitude(p, std::fabs(x), digits);
        }
    }
    const int len = static_cast<int>(p - buf);
    std::memset(field, ' ', static_cast<std::size_t>(width - len));
    std::memcpy(field + (width - len), buf, static_cast<std::size_t>(len));
}

}  // namespace

void formatTimeHistoryLineTo(char* out, double time, double amplitude) {
    out[0] = ' ';
    putField(out + 1, 14, time, 7);
    std::memcpy(out + 15, " \t ", 3);
    putField(out + 18, 12, amplitude, 5);
    std::memcpy(out + 30, " \r\n", 3);
}

std::string formatTimeHistoryLine(double time, double amplitude) {
    std::string line(kTimeHistoryLineSize, ' ');
    formatTimeHistoryLineTo(line.data(), time, amplitude);
    return line;
}

void writeTimeHistory(OutputSink& sink, const PulseSeries& series) {
    char line[kTimeHistoryLineSize];
    for (int i = 0; i < series.count; ++i) {
        formatTimeHistoryLineTo(line, series.time[i], series.amplitude[i]);
        sink.write(line, sizeof line);
    }
}

}  // namespace korvex
