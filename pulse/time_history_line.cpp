// The one-line formatter: the plain path, and the reference that every
// faster path must match byte for byte.
#include <charconv>
#include <cmath>
#include <cstring>

#include "pulse/decimal_digits.h"
#include "pulse/time_history.h"

namespace korvex {
namespace {

using namespace digits;

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

// The %e form of r x 10^(e - Digits + 1), r as fastDecimal gives it:
// Digits + 6 bytes.
template <int Digits>
void putDigits(char* p, std::uint32_t r, int e) {
    const std::uint64_t word = mantissaWord<Digits>(r);
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

}  // namespace korvex
