// Line templates: the fast path for files whose lines share one layout.
// What a template holds, and reading a line by it with 16-byte vectors and
// eight digits at a time; inline, so that the chunk loop keeps it whole.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/record/text/fields.h"
#include "analysis/record_reader.h"

namespace korvex::text {

// Byte classes and newlines, with the processor's vectors where there are.

inline std::uint64_t matchLineBytes(const char* line, const char* pattern, const char* digits,
                                    unsigned blocks) {
#if defined(__SSE2__)
    const auto block = [&](unsigned i) {
        const auto load = [i](const char* p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        };
        const __m128i v = load(line);
        const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8('0'));
        const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
        const __m128i ok =
            _mm_or_si128(_mm_cmpeq_epi8(v, load(pattern)), _mm_and_si128(digit, load(digits)));
        return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(ok))} << (16 * i);
    };
    switch (blocks) {
        case 1:
            return block(0);
        case 2:
            return block(0) | block(1);
        case 3:
            return block(0) | block(1) | block(2);
        default:
            return block(0) | block(1) | block(2) | block(3);
    }
#else
    return detail::matchBytesPortable(line, pattern, digits, blocks);
#endif
}

// Line templates: the fast path for files whose lines share one layout.
//
// A line parsed the plain way becomes a template: its bytes, which of them
// are digits, which hold a sign, and where each number's parts are. A later
// line of the same length whose bytes match it (digits where it has digits,
// a sign or blank where it has a sign slot, every other byte equal) splits
// into the same fields and numbers of the same form, so its digits can be
// read at fixed places, eight at a time.

inline constexpr std::size_t kTemplateBytes = 64;
inline constexpr std::size_t kTemplateFields = 32;
// Bytes that must be readable after a line's start to try a template: the
// 16-byte blocks, and the 8-byte reads of digits that start inside them.
inline constexpr std::size_t kTemplateReach = kTemplateBytes + 8;
inline constexpr std::uint8_t kNoByte = 0xff;

inline constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr std::uint64_t kPow10Int[] = {1,      10,      100,      1000,     10000,
                                              100000, 1000000, 10000000, 100000000};

struct NumberPattern {
    std::uint8_t begin = 0, end = 0;  // the number's bytes, its sign slot included
    std::uint8_t sign = kNoByte;      // the byte that holds ' ', '+' or '-'
    std::uint8_t mantissa = 0;        // first byte of the mantissa: a digit or the mark
    std::uint8_t intDigits = 0, fracDigits = 0;
    bool merged = false;           // digits and mark fit in one 8-byte read
    std::uint64_t beforeMark = 0;  // merged: the bytes before the mark
    std::uint8_t exponent = 0, expDigits = 0;
    std::uint8_t expSign = kNoByte;
    char mark = '.';
    // The sign slots' bits in a 64-bit mask of the line's bytes; 0 without.
    std::uint64_t signBit = 0, expSignBit = 0;
};

struct LineTemplate {
    std::size_t size = 0;  // bytes, the newline included; 0: no template
    unsigned blocks = 0;
    alignas(16) char bytes[kTemplateBytes] = {};
    alignas(16) char digits[kTemplateBytes] = {};  // all ones where a digit goes
    std::uint64_t checked = 0;                     // bytes to match: all but the sign slots
    std::uint64_t all = 0;                         // all the line's bytes
    std::size_t count = 0;
    NumberPattern numbers[kTemplateFields];
    std::ptrdiff_t firstPoint = -1, firstComma = -1;  // where a decimal mark of each kind is
    // For the 32-byte reading: whether every number takes it (at most 8
    // mantissa digits, within 16 bytes), and per pair of numbers where each
    // digit goes. It checks every byte at once: `bytes` holds a blank in a
    // number's sign slot and a plus in an exponent's, `signs` marks both
    // kinds of slot, where a plus or minus fits too.
    bool wide = false;
    alignas(32) char gather[kTemplateFields / 2][32] = {};
    alignas(32) char signs[kTemplateBytes] = {};
    // For reading four numbers at once, from two lines of two numbers or
    // four lines of one (batchLines, 0 where the template does not allow
    // it). Each of the first 64 bytes of those lines within [low, low +
    // span] (a sign slot from a blank to a minus, checked exactly later),
    // the bytes after them equal to `tail`. Each number's 16 bytes from
    // window[f] on, with per 16-byte half where its digits go (as
    // `gather`) and where its signs go (bytes 8 and 12); `fill` for a sign
    // slot a number lacks, in the order of the four numbers' signs and then
    // their exponents' signs; scaleIndex: 22 less its fraction digits.
    unsigned batchLines = 0;
    alignas(32) unsigned char low[64] = {}, span[64] = {};
    std::uint64_t tailMask = 0, tail = 0;
    std::uint8_t window[2] = {};
    alignas(32) char batchDigits[32] = {};
    alignas(32) char batchSigns[32] = {};
    alignas(32) std::int32_t fill[8] = {};
    alignas(16) std::int32_t scaleIndex[4] = {};
};

inline std::uint64_t load8(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// The value of the first k (1 to 8) digits of v, lowest address first.
inline std::uint64_t digitsValue(std::uint64_t v, unsigned k) {
    v <<= 8 * (8 - k);  // drops what follows them; zero bytes read as leading zeros
    v = ((v & 0x0F0F0F0F0F0F0F0F) * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FF) * 6553601) >> 16;
    return ((v & 0x0000FFFF0000FFFF) * 42949672960001) >> 32;
}

// Builds a template from a line the plain parser read: `spans` holds each
// field's number, begin and end. False when a number has more digits than
// the fast reading takes, or the line is too long.
bool learnTemplate(LineTemplate& t, const Layout& layout, const char* line, std::size_t size,
                   const char* const* spans);

// The value of a number of the template from its mantissa and the digits
// of its exponent, with the signs the line has in the template's slots;
// false when a slot holds something else, or the plain reading of a number
// the fast one cannot do exactly fails.
inline bool finishNumber(const NumberPattern& p, const char* line, std::uint64_t mantissa,
                         int exponent, double& out) {
    bool negative = false;
    if (p.sign != kNoByte) {
        const char s = line[p.sign];
        negative = s == '-';
        if (!negative && s != '+' && s != ' ') return false;
    }
    if (p.expSign != kNoByte) {
        const char s = line[p.expSign];
        if (s == '-') {
            exponent = -exponent;
        } else if (s != '+') {
            return false;
        }
    }
    exponent -= p.fracDigits;
    if (exponent >= -22 && exponent <= 22) {
        // Both operands are exact (the mantissa has at most 15 digits), so
        // one correctly rounded operation gives the correctly rounded value
        // of the text.
        double value = static_cast<double>(mantissa);
        value = exponent < 0 ? value / kPow10[-exponent] : value * kPow10[exponent];
        out = negative ? -value : value;
        return true;
    }
    const char* b = line + p.begin;
    if (*b == ' ') ++b;
    const char* markAt;
    return readNumber(b, line + p.end, p.mark == ',', out, markAt) == line + p.end &&
           std::isfinite(out);
}

// Reads the line at `line` by the template into out[0 .. fields), or says
// it does not match (then the plain parser reads it).
inline bool matchTemplate(const LineTemplate& t, const char* line, double* out) {
    if ((matchLineBytes(line, t.bytes, t.digits, t.blocks) & t.checked) != t.checked) return false;
    for (std::size_t f = 0; f < t.count; ++f) {
        const NumberPattern& p = t.numbers[f];
        const char* m = line + p.mantissa;
        std::uint64_t mantissa;
        if (p.merged) {
            std::uint64_t v = load8(m);
            v = (v & p.beforeMark) | ((v >> 8) & ~p.beforeMark);  // the mark taken out
            mantissa = digitsValue(v, p.intDigits + p.fracDigits);
        } else {
            mantissa = p.intDigits > 0 ? digitsValue(load8(m), p.intDigits) : 0;
            mantissa *= kPow10Int[p.fracDigits];
            if (p.fracDigits > 0) mantissa += digitsValue(load8(m + p.intDigits + 1), p.fracDigits);
        }
        const unsigned char* x = reinterpret_cast<const unsigned char*>(line + p.exponent);
        int exponent = 0;
        switch (p.expDigits) {
            case 0:
                break;
            case 1:
                exponent = x[0] - '0';
                break;
            case 2:
                exponent = x[0] * 10 + x[1] - '0' * 11;
                break;
            case 3:
                exponent = x[0] * 100 + x[1] * 10 + x[2] - '0' * 111;
                break;
            default:
                exponent = x[0] * 1000 + x[1] * 100 + x[2] * 10 + x[3] - '0' * 1111;
        }
        if (!finishNumber(p, line, mantissa, exponent, out[f])) return false;
    }
    return true;
}

}  // namespace korvex::text
