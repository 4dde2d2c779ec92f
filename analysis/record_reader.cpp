#include "analysis/record_reader.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#define KORVEX_WIDE_READER 1
#include <immintrin.h>
#endif

#if __has_include(<sys/mman.h>) && __has_include(<sys/stat.h>) && __has_include(<unistd.h>) && \
    __has_include(<fcntl.h>)
#define KORVEX_MAP_FILES 1
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "pulse/file_sink.h"  // adviseLargeArray

namespace korvex {

namespace {

std::string shownName(const std::string& file) {
    return file == "-" ? "standard input" : file;
}

std::string composeMessage(const std::string& file, std::size_t line, std::size_t column,
                           const std::string& reason) {
    std::string s = shownName(file);
    if (line > 0) {
        s += ':' + std::to_string(line);
        if (column > 0) s += ':' + std::to_string(column);
    }
    return s + ": " + reason;
}

}  // namespace

RecordError::RecordError(Kind kind, std::string file, std::size_t line, std::size_t column,
                         std::string reason)
    : std::runtime_error(composeMessage(file, line, column, reason)),
      kind_(kind),
      file_(std::move(file)),
      line_(line),
      column_(column),
      reason_(std::move(reason)) {}

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

enum class Separator { Blanks, Tab, Comma, Semicolon };

// How the lines of one file are split, and which fields are kept.
struct Layout {
    Separator separator = Separator::Blanks;
    char separatorChar = 0;  // for all but Blanks
    std::size_t fields = 0;
    std::size_t firstLine = 0;  // the line the shape was taken from
    std::size_t timeField = kNone;
    std::size_t valueField = 0;
    double timeScale = 1.0;     // to seconds
    bool decimalComma = false;  // semicolon files accept a decimal comma
};

// Blanks around a field, or between fields in a blank-separated file.
bool isPad(char c, const Layout& l) {
    return c == ' ' || (c == '\t' && l.separator != Separator::Tab);
}

bool isSeparator(char c, const Layout& l) {
    return l.separator != Separator::Blanks && c == l.separatorChar;
}

// ---------------------------------------------------------------------------
// Numbers

// The number at p, if one starts there: an optional sign, then what
// fast_float reads (digits with an optional decimal mark and exponent, or
// inf/nan). Returns its end, or nullptr. markAt is set to the decimal mark
// it holds, or nullptr; it is only looked for where a comma may be one.
const char* readNumber(const char* p, const char* end, bool commaMark, double& value,
                       const char*& markAt) {
    const char* q = p;
    if (q < end && *q == '+') {
        ++q;
        if (q == end || *q == '-' || *q == '+') return nullptr;
    }
    markAt = nullptr;
    char mark = '.';
    const char* d = q;
    if (commaMark) {
        if (d < end && *d == '-') ++d;
        while (d < end && isDigit(*d)) ++d;
        if (d < end && *d == ',') mark = ',';
    }
    const auto r = fast_float::from_chars_advanced(
        q, end, value, fast_float::parse_options{fast_float::chars_format::general, mark});
    if (r.ec != std::errc()) return nullptr;
    if (commaMark && d < r.ptr && *d == mark) markAt = d;
    return r.ptr;
}

// A field's text for a message, quoted, with control bytes spelled out.
std::string quoted(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    std::string s = "\"";
    for (std::size_t i = 0; i < text.size() && i < kLongest; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\t') {
            s += "\\t";
        } else if (c == '\r') {
            s += "\\r";
        } else if (c < 0x20 || c == 0x7f) {
            const char* hex = "0123456789abcdef";
            s += "\\x";
            s += hex[c >> 4];
            s += hex[c & 15];
        } else if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else {
            s += static_cast<char>(c);
        }
    }
    if (text.size() > kLongest) s += "...";
    return s + "\"";
}

std::string shortNumber(double x) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 6);
    return std::string(buf, r.ptr);
}

// ---------------------------------------------------------------------------
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

// Newlines in [begin, end): per-byte counts of four 16-byte blocks at a
// time (four loads in flight), summed every 255 rounds before they wrap.
std::size_t countNewlinesNarrow(const char* begin, const char* end) {
#if defined(__SSE2__)
    std::size_t n = 0;
    const __m128i newline = _mm_set1_epi8('\n'), zero = _mm_setzero_si128();
    while (end - begin >= 64) {
        const std::size_t rounds =
            std::min<std::size_t>(static_cast<std::size_t>(end - begin) / 64, 255);
        __m128i c[4] = {zero, zero, zero, zero};
        for (std::size_t i = 0; i < rounds; ++i, begin += 64) {
            for (int j = 0; j < 4; ++j) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + 16 * j));
                c[j] = _mm_sub_epi8(c[j], _mm_cmpeq_epi8(v, newline));
            }
        }
        const __m128i sums =
            _mm_add_epi64(_mm_add_epi64(_mm_sad_epu8(c[0], zero), _mm_sad_epu8(c[1], zero)),
                          _mm_add_epi64(_mm_sad_epu8(c[2], zero), _mm_sad_epu8(c[3], zero)));
        n += static_cast<std::size_t>(_mm_extract_epi16(sums, 0) + _mm_extract_epi16(sums, 4));
    }
    return n + detail::countNewlinesPortable(begin, end);
#else
    return detail::countNewlinesPortable(begin, end);
#endif
}

// ---------------------------------------------------------------------------
// Line templates: the fast path for files whose lines share one layout.
//
// A line parsed the plain way becomes a template: its bytes, which of them
// are digits, which hold a sign, and where each number's parts are. A later
// line of the same length whose bytes match it (digits where it has digits,
// a sign or blank where it has a sign slot, every other byte equal) splits
// into the same fields and numbers of the same form, so its digits can be
// read at fixed places, eight at a time.

constexpr std::size_t kTemplateBytes = 64;
constexpr std::size_t kTemplateFields = 32;
// Bytes that must be readable after a line's start to try a template: the
// 16-byte blocks, and the 8-byte reads of digits that start inside them.
constexpr std::size_t kTemplateReach = kTemplateBytes + 8;
constexpr std::uint8_t kNoByte = 0xff;

const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
const std::uint64_t kPow10Int[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

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

// Sets up the four-number reading where the template allows it: one or
// two numbers a line, of at most 8 mantissa digits, each with its signs
// within 16 bytes; the batch's lines within 64 bytes and at most 8 fixed
// bytes after them.
void learnBatch(LineTemplate& n) {
    n.batchLines = 0;
    if (!n.wide || n.count > 2) return;
    const unsigned lines = n.count == 2 ? 2 : 4;
    const std::size_t bytes = lines * n.size;
    if (bytes > 64 + 8) return;
    // Each byte of one line: its range, and whether it must be that byte.
    unsigned char low[kTemplateBytes], span[kTemplateBytes];
    bool fixed[kTemplateBytes];
    for (std::size_t i = 0; i < n.size; ++i) {
        low[i] = static_cast<unsigned char>(n.bytes[i]);
        span[i] = 0;
        fixed[i] = n.digits[i] == 0 && n.signs[i] == 0;
        if (n.digits[i] != 0) {
            low[i] = '0';
            span[i] = 9;
        }
    }
    for (std::size_t f = 0; f < n.count; ++f) {
        const NumberPattern& p = n.numbers[f];
        const unsigned w = p.sign != kNoByte ? p.sign : p.mantissa;
        if (p.end - w > 16 || w + 16 > kTemplateReach) return;
        n.window[f] = static_cast<std::uint8_t>(w);
        if (p.sign != kNoByte) {
            low[p.sign] = ' ';
            span[p.sign] = '-' - ' ';
        }
        if (p.expSign != kNoByte) {
            low[p.expSign] = '+';
            span[p.expSign] = '-' - '+';
        }
    }
    n.tail = 0;
    n.tailMask = 0;
    for (std::size_t i = 0; i < 64 + 8; ++i) {
        const std::size_t at = i % n.size;
        if (i >= bytes) {
            if (i < 64) {
                n.low[i] = 0;
                n.span[i] = 0xff;
            }
        } else if (i < 64) {
            n.low[i] = low[at];
            n.span[i] = span[at];
        } else if (!fixed[at]) {
            return;
        } else {
            n.tail |= std::uint64_t{low[at]} << (8 * (i - 64));
            n.tailMask |= std::uint64_t{0xff} << (8 * (i - 64));
        }
    }
    for (unsigned half = 0; half < 2; ++half) {
        const NumberPattern& p = n.numbers[n.count == 2 ? half : 0];
        const unsigned w = n.window[n.count == 2 ? half : 0];
        char* g = n.batchDigits + 16 * half;
        char* sg = n.batchSigns + 16 * half;
        std::memset(g, 0x80, 16);
        std::memset(sg, 0x80, 16);
        const unsigned digits = p.intDigits + p.fracDigits;
        for (unsigned k = 0, at = p.mantissa - w; k < digits; ++k, ++at) {
            if (k == p.intDigits && p.fracDigits > 0) ++at;  // over the mark
            g[8 - digits + k] = static_cast<char>(at);
        }
        for (unsigned k = 0; k < p.expDigits; ++k)
            g[16 - p.expDigits + k] = static_cast<char>(p.exponent - w + k);
        if (p.sign != kNoByte) sg[8] = static_cast<char>(p.sign - w);
        if (p.expSign != kNoByte) sg[12] = static_cast<char>(p.expSign - w);
    }
    // The four numbers in the order they are read: a b a b, or a a a a.
    for (unsigned k = 0; k < 4; ++k) {
        const NumberPattern& p = n.numbers[n.count == 2 ? k % 2 : 0];
        n.fill[k] = p.sign != kNoByte ? 0 : ' ';
        n.fill[4 + k] = p.expSign != kNoByte ? 0 : '+';
        n.scaleIndex[k] = 22 - p.fracDigits;
    }
    n.batchLines = lines;
}

// Builds a template from a line the plain parser read: `spans` holds each
// field's number, begin and end. False when a number has more digits than
// the fast reading takes, or the line is too long.
bool learnTemplate(LineTemplate& t, const Layout& layout, const char* line, std::size_t size,
                   const char* const* spans) {
    if (size > kTemplateBytes || layout.fields > kTemplateFields) return false;
    LineTemplate n;
    n.size = size;
    n.blocks = static_cast<unsigned>((size + 15) / 16);
    std::memcpy(n.bytes, line, size);
    n.checked = n.all = size == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << size) - 1;
    n.count = layout.fields;
    for (std::size_t f = 0; f < layout.fields; ++f) {
        NumberPattern& p = n.numbers[f];
        const char* b = spans[2 * f];
        const char* e = spans[2 * f + 1];
        const char* q = b;
        p.begin = static_cast<std::uint8_t>(b - line);
        p.end = static_cast<std::uint8_t>(e - line);
        if (*q == '+' || *q == '-') {
            p.sign = p.begin;
            ++q;
        } else if (b > line && b[-1] == ' ' &&
                   (b - 1 == line || isBlank(b[-2]) || isSeparator(b[-2], layout))) {
            // A pad blank before the number could hold a minus sign without
            // changing how the line splits.
            p.sign = static_cast<std::uint8_t>(b - 1 - line);
            p.begin = p.sign;
        }
        p.mantissa = static_cast<std::uint8_t>(q - line);
        while (q < e && isDigit(*q)) ++q;
        p.intDigits = static_cast<std::uint8_t>(q - line - p.mantissa);
        const bool point = q < e && (*q == '.' || *q == ',');
        if (point) {
            p.mark = *q;
            const std::ptrdiff_t at = q - line;
            std::ptrdiff_t& first = p.mark == ',' ? n.firstComma : n.firstPoint;
            if (layout.decimalComma && first < 0) first = at;
            const char* f0 = ++q;
            while (q < e && isDigit(*q)) ++q;
            p.fracDigits = static_cast<std::uint8_t>(q - f0);
        }
        if (q < e && (*q == 'e' || *q == 'E')) {
            ++q;
            if (*q == '+' || *q == '-') {
                p.expSign = static_cast<std::uint8_t>(q - line);
                ++q;
            }
            p.exponent = static_cast<std::uint8_t>(q - line);
            while (q < e && isDigit(*q)) ++q;
            p.expDigits = static_cast<std::uint8_t>(q - line - p.exponent);
            if (p.expDigits == 0 || p.expDigits > 4) return false;
        }
        // inf and nan never get here (they are faults); anything else unread
        // is a form the fast reading does not know.
        if (q != e) return false;
        const unsigned digits = p.intDigits + p.fracDigits;
        if (digits == 0 || p.intDigits > 8 || p.fracDigits > 8 || digits > 15) return false;
        p.merged = digits + (point ? 1 : 0) <= 8;
        if (p.merged) {
            p.beforeMark = !point ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * p.intDigits)) - 1;
        }
        for (const char* c = line + p.mantissa; c < e; ++c) {
            if (isDigit(*c)) n.digits[c - line] = '\xff';
        }
        if (p.sign != kNoByte) {
            n.checked &= ~(std::uint64_t{1} << p.sign);
            p.signBit = std::uint64_t{1} << p.sign;
            n.bytes[p.sign] = ' ';
            n.signs[p.sign] = '\xff';
        }
        if (p.expSign != kNoByte) {
            n.checked &= ~(std::uint64_t{1} << p.expSign);
            p.expSignBit = std::uint64_t{1} << p.expSign;
            n.bytes[p.expSign] = '+';
            n.signs[p.expSign] = '\xff';
        }
    }
    n.wide = true;
    for (std::size_t f = 0; f < n.count; ++f) {
        const NumberPattern& p = n.numbers[f];
        n.wide = n.wide && p.intDigits + p.fracDigits <= 8 && p.end - p.mantissa <= 16 &&
                 std::size_t{p.mantissa} + 16 <= kTemplateReach;
        // Digit k of the mantissa (counted from the last) goes to byte
        // 7 - k of the number's half, digit k of the exponent to 15 - k.
        char* g = n.gather[f / 2] + 16 * (f % 2);
        std::memset(g, 0x80, 16);  // zero
        const unsigned digits = p.intDigits + p.fracDigits;
        for (unsigned k = 0, at = 0; k < digits && digits <= 8; ++k, ++at) {
            if (k == p.intDigits && p.fracDigits > 0) ++at;  // over the mark
            g[8 - digits + k] = static_cast<char>(at);
        }
        for (unsigned k = 0; k < p.expDigits; ++k)
            g[16 - p.expDigits + k] = static_cast<char>(p.exponent - p.mantissa + k);
    }
    if (n.count % 2 == 1) std::memcpy(n.gather[n.count / 2] + 16, n.gather[n.count / 2], 16);
    learnBatch(n);
    t = n;
    return true;
}

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

#if defined(KORVEX_WIDE_READER)
__attribute__((target("avx2"))) inline __m256i load32(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

// Powers of ten that scale a mantissa m with decimal exponent e (-22 to
// 22) to m x 10^e: {10^e, 1} or {1, 10^-e}, so that m x first / second is
// one correctly rounded operation, as in finishNumber.
struct ScalePair {
    alignas(16) double factor[2];
};
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr auto kScales = [] {
    std::array<ScalePair, 45> s{};
    for (int e = -22; e <= 22; ++e) {
        s[static_cast<std::size_t>(e + 22)] =
            e >= 0 ? ScalePair{{kExactPow10[e], 1.0}} : ScalePair{{1.0, kExactPow10[-e]}};
    }
    return s;
}();
// The same as two tables, for gathering four at a time.
constexpr auto kScaleUp = [] {
    std::array<double, 45> s{};
    for (std::size_t i = 0; i < 45; ++i) s[i] = kScales[i].factor[0];
    return s;
}();
constexpr auto kScaleDown = [] {
    std::array<double, 45> s{};
    for (std::size_t i = 0; i < 45; ++i) s[i] = kScales[i].factor[1];
    return s;
}();

// Bytes [32 i, 32 i + 32) of the line: the bits of those that fit the
// template, and of those that hold a minus, in place.
__attribute__((target("avx2"))) inline void matchBlockWide(const LineTemplate& t, const char* line,
                                                           unsigned i, std::uint64_t& fit,
                                                           std::uint64_t& minus) {
    const __m256i v = load32(line + 32 * i);
    const __m256i d = _mm256_sub_epi8(v, _mm256_set1_epi8('0'));
    const __m256i digit = _mm256_cmpeq_epi8(_mm256_min_epu8(d, _mm256_set1_epi8(9)), d);
    const __m256i isMinus = _mm256_cmpeq_epi8(v, _mm256_set1_epi8('-'));
    const __m256i sign = _mm256_or_si256(isMinus, _mm256_cmpeq_epi8(v, _mm256_set1_epi8('+')));
    const __m256i ok =
        _mm256_or_si256(_mm256_cmpeq_epi8(v, load32(t.bytes + 32 * i)),
                        _mm256_or_si256(_mm256_and_si256(digit, load32(t.digits + 32 * i)),
                                        _mm256_and_si256(sign, load32(t.signs + 32 * i))));
    fit |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(ok))} << (32 * i);
    minus |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(isMinus))} << (32 * i);
}

// matchTemplate with 32-byte vectors, two numbers at a time: each number's
// digits gathered into a 16-byte half, the mantissa's right-aligned in
// bytes 0-7 and the exponent's in bytes 8-15, then summed with weights
// 10 and 1, 100 and 1, 10000 and 1; both numbers then scaled by one
// multiplication and one division of two lanes.
__attribute__((target("avx2"))) inline bool matchTemplateWide(const LineTemplate& t,
                                                              const char* line, double* out) {
    const __m256i zero = _mm256_set1_epi8('0');
    std::uint64_t fit = 0, minus = 0;
    matchBlockWide(t, line, 0, fit, minus);
    if (t.size > 32) matchBlockWide(t, line, 1, fit, minus);
    if ((fit & t.all) != t.all) return false;
    for (std::size_t f = 0; f < t.count; f += 2) {
        const NumberPattern& a = t.numbers[f];
        const NumberPattern& b = t.numbers[f + 1 < t.count ? f + 1 : f];
        __m256i x = _mm256_loadu2_m128i(reinterpret_cast<const __m128i_u*>(line + b.mantissa),
                                        reinterpret_cast<const __m128i_u*>(line + a.mantissa));
        x = _mm256_shuffle_epi8(_mm256_sub_epi8(x, zero), load32(t.gather[f / 2]));
        x = _mm256_maddubs_epi16(x, _mm256_set1_epi16(0x010A));   // 10 d0 + d1
        x = _mm256_madd_epi16(x, _mm256_set1_epi32(0x00010064));  // 100 p0 + p1
        x = _mm256_packus_epi32(x, x);                            // fit in 16 bits
        x = _mm256_madd_epi16(x, _mm256_set1_epi32(0x00012710));  // 10000 q0 + q1
        // {mantissa a, mantissa b, exponent a, exponent b}
        const __m128i parts = _mm256_castsi256_si128(
            _mm256_permutevar8x32_epi32(x, _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0)));
        const int digitsA = _mm_extract_epi32(parts, 2), digitsB = _mm_extract_epi32(parts, 3);
        const int ea = ((minus & a.expSignBit) != 0 ? -digitsA : digitsA) - a.fracDigits;
        const int eb = ((minus & b.expSignBit) != 0 ? -digitsB : digitsB) - b.fracDigits;
        if (static_cast<unsigned>(ea + 22) > 44 || static_cast<unsigned>(eb + 22) > 44) {
            // Beyond the exact powers of ten: the plain reading of each.
            if (!finishNumber(a, line, static_cast<std::uint32_t>(_mm_cvtsi128_si32(parts)),
                              digitsA, out[f]))
                return false;
            if (f + 1 < t.count &&
                !finishNumber(b, line, static_cast<std::uint32_t>(_mm_extract_epi32(parts, 1)),
                              digitsB, out[f + 1]))
                return false;
            continue;
        }
        const __m128d sa = _mm_load_pd(kScales[static_cast<std::size_t>(ea + 22)].factor);
        const __m128d sb = _mm_load_pd(kScales[static_cast<std::size_t>(eb + 22)].factor);
        __m128d v = _mm_mul_pd(_mm_cvtepi32_pd(parts), _mm_unpacklo_pd(sa, sb));
        v = _mm_div_pd(v, _mm_unpackhi_pd(sa, sb));
        const __m128i negative =
            _mm_set_epi64x((minus & b.signBit) != 0 ? std::int64_t{1} << 63 : 0,
                           (minus & a.signBit) != 0 ? std::int64_t{1} << 63 : 0);
        v = _mm_xor_pd(v, _mm_castsi128_pd(negative));
        _mm_storeu_pd(out + f, v);  // out holds kTemplateFields, an even number
    }
    return true;
}

bool wideReader() {
    static const bool wide = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return wide;
}

// countNewlinesNarrow with 32-byte blocks, two at a time.
__attribute__((target("avx2"))) std::size_t countNewlinesWide(const char* begin, const char* end) {
    std::size_t n = 0;
    const __m256i newline = _mm256_set1_epi8('\n'), zero = _mm256_setzero_si256();
    while (end - begin >= 64) {
        const std::size_t rounds =
            std::min<std::size_t>(static_cast<std::size_t>(end - begin) / 64, 255);
        __m256i c0 = zero, c1 = zero;
        for (std::size_t i = 0; i < rounds; ++i, begin += 64) {
            c0 = _mm256_sub_epi8(c0, _mm256_cmpeq_epi8(load32(begin), newline));
            c1 = _mm256_sub_epi8(c1, _mm256_cmpeq_epi8(load32(begin + 32), newline));
        }
        const __m256i sums = _mm256_add_epi64(_mm256_sad_epu8(c0, zero), _mm256_sad_epu8(c1, zero));
        n +=
            static_cast<std::size_t>(_mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
                                     _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3));
    }
    return n + detail::countNewlinesPortable(begin, end);
}
#else
bool wideReader() {
    return false;
}
std::size_t countNewlinesWide(const char* begin, const char* end) {
    return countNewlinesNarrow(begin, end);
}
#endif

// ---------------------------------------------------------------------------
// Parsing the lines of one piece of the text.

constexpr double kNoStep[] = {std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()};

// A stretch of whole lines, parsed by one thread into its own part of the
// sample arrays.
struct Chunk {
    const char* begin = nullptr;
    const char* end = nullptr;
    std::size_t offset = 0;  // where its samples go
    std::size_t lines = 0;   // lines that start in it: room for as many samples
    // What parsing found.
    std::size_t samples = 0;
    const char* faultAt = nullptr;  // the first fault, if any
    std::string fault;
    const char* firstPoint = nullptr;  // semicolon files: the first decimal mark of each kind
    const char* firstComma = nullptr;
    double minStep = kNoStep[0], maxStep = kNoStep[1];  // between its own samples
    bool overflow = false;                              // it holds more samples than `lines`
};

struct Body {
    const Layout* layout = nullptr;
    const char* textEnd = nullptr;
    double* times = nullptr;  // null without a time column
    double* values = nullptr;
    bool templates = true;
    bool wide = true;
};

enum class LineResult { Sample, Skipped, Fault };

void noteMark(Chunk& c, const char* markAt) {
    if (markAt == nullptr) return;
    const char*& first = *markAt == ',' ? c.firstComma : c.firstPoint;
    if (first == nullptr) first = markAt;
}

// The field that starts at p, up to its separator or the line's end.
std::string_view fieldText(const Layout& layout, const char* p, const char* lineEnd) {
    const char* e = p;
    if (layout.separator == Separator::Blanks) {
        while (e < lineEnd && !isBlank(*e)) ++e;
    } else {
        while (e < lineEnd && *e != layout.separatorChar) ++e;
        while (e > p && isPad(e[-1], layout)) --e;
    }
    return {p, static_cast<std::size_t>(e - p)};
}

std::string notANumber(const Layout& layout, std::size_t field, std::string_view text) {
    std::string s = "field " + std::to_string(field + 1) + ": " + quoted(text) + " is not a number";
    double value;
    const char* markAt;
    if (!layout.decimalComma && !text.empty() &&
        readNumber(text.data(), text.data() + text.size(), true, value, markAt) ==
            text.data() + text.size() &&
        markAt != nullptr) {
        s += " (a decimal comma is read only in semicolon-separated files)";
    } else if (layout.separator != Separator::Blanks &&
               std::find_if(text.begin(), text.end(), isBlank) != text.end()) {
        s += layout.separator == Separator::Tab         ? " (fields are separated by tabs)"
             : layout.separator == Separator::Semicolon ? " (fields are separated by semicolons)"
                                                        : " (fields are separated by commas)";
    }
    return s;
}

std::string notFinite(std::size_t field, std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const bool numeral = i < text.size() && (isDigit(text[i]) || text[i] == '.' || text[i] == ',');
    return "field " + std::to_string(field + 1) + ": " + quoted(text) +
           (numeral ? " is beyond the range of a double" : " is not a finite number");
}

// Reads the line at p the plain way, field by field, into out[0 .. fields).
// next is set to the start of the following line. With spans, each
// field's number, begin and end, goes into spans[2 f], spans[2 f + 1].
LineResult parsePlainLine(const Layout& layout, const char* p, const char* end, const char*& next,
                          double* out, Chunk& c, const char** spans) {
    const char* nl =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    next = nl != nullptr ? nl + 1 : end;
    const char* lineEnd = nl != nullptr ? nl : end;
    if (lineEnd > p && lineEnd[-1] == '\r') --lineEnd;
    const char* q = p;
    while (q < lineEnd && isBlank(*q)) ++q;
    if (q == lineEnd || *q == '#' || *q == '%') return LineResult::Skipped;

    const auto fault = [&c](const char* at, std::string reason) {
        c.faultAt = at;
        c.fault = std::move(reason);
        return LineResult::Fault;
    };
    const std::size_t fields = layout.fields;
    const auto shape = [&layout, fields] {
        return " (line " + std::to_string(layout.firstLine) + " has " + std::to_string(fields) +
               (fields == 1 ? " field)" : " fields)");
    };
    q = p;
    for (std::size_t f = 0; f < fields; ++f) {
        while (q < lineEnd && isPad(*q, layout)) ++q;
        const char* start = q;
        if (q == lineEnd || isSeparator(*q, layout))
            return fault(q, "field " + std::to_string(f + 1) + " is empty");
        double value;
        const char* markAt;
        const char* e = readNumber(q, lineEnd, layout.decimalComma, value, markAt);
        if (e == nullptr || (e < lineEnd && !isPad(*e, layout) && !isSeparator(*e, layout)))
            return fault(start, notANumber(layout, f, fieldText(layout, start, lineEnd)));
        if (!std::isfinite(value))
            return fault(start, notFinite(f, {start, std::size_t(e - start)}));
        out[f] = value;
        if (spans != nullptr) {
            spans[2 * f] = start;
            spans[2 * f + 1] = e;
        }
        noteMark(c, markAt);
        q = e;
        while (q < lineEnd && isPad(*q, layout)) ++q;
        if (f + 1 < fields) {
            if (q == lineEnd)
                return fault(q, "field " + std::to_string(f + 2) + " is missing" + shape());
            if (layout.separator == Separator::Blanks) continue;
            if (*q != layout.separatorChar)
                return fault(start, notANumber(layout, f, fieldText(layout, start, lineEnd)));
            ++q;
        } else if (q != lineEnd) {
            if (layout.separator != Separator::Blanks) {
                if (*q != layout.separatorChar)
                    return fault(start, notANumber(layout, f, fieldText(layout, start, lineEnd)));
                ++q;
                while (q < lineEnd && isPad(*q, layout)) ++q;
            }
            return fault(q, "extra field " + std::to_string(fields + 1) + shape());
        }
    }
    return LineResult::Sample;
}

// The samples a chunk has read so far, and the shortest and the longest
// time step between them: they alone decide whether every step is within
// the tolerance.
struct ChunkSamples {
    double* times;  // null without a time column
    double* values;
    std::size_t room;  // samples the arrays hold from times and values on
    std::size_t n = 0;
    double previous = 0.0, minStep = kNoStep[0], maxStep = kNoStep[1];
};

// Stores the sample of the fields just read.
__attribute__((always_inline)) inline void storeSample(const Layout& layout, const double* fields,
                                                       ChunkSamples& s) {
    if (s.times != nullptr) {
        const double t = fields[layout.timeField] * layout.timeScale;
        if (s.n > 0) {
            s.minStep = std::min(s.minStep, t - s.previous);
            s.maxStep = std::max(s.maxStep, t - s.previous);
        }
        s.times[s.n] = s.previous = t;
    }
    s.values[s.n++] = fields[layout.valueField];
}

// Reads the lines from p on by the template while they match it, each
// starting before `stop`; returns where it stopped. A run of lines of one
// layout is most of a large file: its state is kept in locals, which the
// compiler keeps in registers.
template <class Match>
__attribute__((always_inline)) inline const char* readRunWith(const LineTemplate& t,
                                                              const Layout& layout, const char* p,
                                                              const char* stop,
                                                              ChunkSamples& samples) {
    double fields[kTemplateFields];
    ChunkSamples s = samples;
    const std::size_t size = t.size;
    while (p < stop && s.n < s.room && Match::match(t, p, fields)) {
        storeSample(layout, fields, s);
        p += size;
    }
    samples = s;
    return p;
}

// The template readers: 16-byte vectors and eight digits at a time, or
// 32-byte vectors where a template allows.
struct NarrowMatch {
    static bool match(const LineTemplate& t, const char* line, double* out) {
        return matchTemplate(t, line, out);
    }
};
struct NarrowReading {
    static const char* run(const LineTemplate& t, const Layout& layout, const char* p,
                           const char* stop, ChunkSamples& samples) {
        return readRunWith<NarrowMatch>(t, layout, p, stop, samples);
    }
};
#if defined(KORVEX_WIDE_READER)
struct WideMatch {
    __attribute__((target("avx2"))) static bool match(const LineTemplate& t, const char* line,
                                                      double* out) {
        return matchTemplateWide(t, line, out);
    }
};

// The numbers whose 16-byte windows start at x and y, one per half:
// {mantissa, exponent digits, sign, exponent sign} each.
__attribute__((target("avx2"))) inline __m256i readHalves(const LineTemplate& t, const char* x,
                                                          const char* y) {
    const __m256i raw = _mm256_loadu2_m128i(reinterpret_cast<const __m128i_u*>(y),
                                            reinterpret_cast<const __m128i_u*>(x));
    __m256i v = _mm256_sub_epi8(raw, _mm256_set1_epi8('0'));
    v = _mm256_shuffle_epi8(v, load32(t.batchDigits));
    v = _mm256_maddubs_epi16(v, _mm256_set1_epi16(0x010A));   // 10 d0 + d1
    v = _mm256_madd_epi16(v, _mm256_set1_epi32(0x00010064));  // 100 p0 + p1
    v = _mm256_packus_epi32(v, v);                            // fit in 16 bits
    v = _mm256_madd_epi16(v, _mm256_set1_epi32(0x00012710));  // 10000 q0 + q1
    return _mm256_blend_epi32(v, _mm256_shuffle_epi8(raw, load32(t.batchSigns)), 0xCC);
}

// Four numbers of the template, a and b from the 16-byte windows at a and
// b (one 16-byte half each), c and d from those at c and d: each half's
// digits summed as in matchTemplateWide, its signs beside them, then the
// four numbers scaled with four-lane operations. Returns all ones unless a
// sign slot holds something else or an exponent is beyond the exact powers
// of ten (then the line-by-line reading decides, and `out` means nothing).
__attribute__((target("avx2"))) inline __m256i readFour(const LineTemplate& t, const char* a,
                                                        const char* b, const char* c, const char* d,
                                                        __m256d& out) {
    const __m256i x = readHalves(t, a, b), y = readHalves(t, c, d);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    // {mantissas, exponent digits} and {signs, exponent signs}, a b c d each
    const __m256i parts = _mm256_permutevar8x32_epi32(_mm256_unpacklo_epi32(x, y), order);
    const __m256i signs = _mm256_or_si256(
        _mm256_permutevar8x32_epi32(_mm256_unpackhi_epi32(x, y), order), load32(t.fill));
    const __m256i minus = _mm256_cmpeq_epi32(signs, _mm256_set1_epi32('-'));
    const __m256i blankOrPlus = _mm256_setr_epi32(' ', ' ', ' ', ' ', '+', '+', '+', '+');
    const __m256i good =
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi32(signs, blankOrPlus),
                                        _mm256_cmpeq_epi32(signs, _mm256_set1_epi32('+'))),
                        minus);
    const __m128i negativeExponent = _mm256_extracti128_si256(minus, 1);
    __m128i e = _mm256_extracti128_si256(parts, 1);
    e = _mm_sub_epi32(_mm_xor_si128(e, negativeExponent), negativeExponent);
    __m128i index =
        _mm_add_epi32(e, _mm_load_si128(reinterpret_cast<const __m128i*>(t.scaleIndex)));
    const __m128i within = _mm_cmpeq_epi32(_mm_min_epu32(index, _mm_set1_epi32(44)), index);
    index = _mm_and_si128(index, within);  // the gathers stay within the tables
    // The masked form: the plain one leaves GCC 12 warning about its
    // undefined source.
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    __m256d v = _mm256_mul_pd(
        _mm256_cvtepi32_pd(_mm256_castsi256_si128(parts)),
        _mm256_mask_i32gather_pd(_mm256_setzero_pd(), kScaleUp.data(), index, all, 8));
    v = _mm256_div_pd(
        v, _mm256_mask_i32gather_pd(_mm256_setzero_pd(), kScaleDown.data(), index, all, 8));
    const __m256i negative = _mm256_cvtepi32_epi64(_mm256_castsi256_si128(minus));
    out = _mm256_xor_pd(v, _mm256_and_pd(_mm256_castsi256_pd(negative), _mm256_set1_pd(-0.0)));
    return _mm256_and_si256(good, _mm256_broadcastsi128_si256(within));
}

// All ones where the batch of lines at q fits the template's ranges.
__attribute__((target("avx2"))) inline __m256i inRanges(const LineTemplate& t, const char* q) {
    const __m256i d0 = _mm256_sub_epi8(load32(q), load32(t.low));
    const __m256i d1 = _mm256_sub_epi8(load32(q + 32), load32(t.low + 32));
    return _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_min_epu8(d0, load32(t.span)), d0),
                            _mm256_cmpeq_epi8(_mm256_min_epu8(d1, load32(t.span + 32)), d1));
}

// Lines by the template, kLines at a time (two of two numbers or four of
// one), while they match it and their numbers take the four-lane reading;
// returns where it stopped.
template <unsigned kLines>
__attribute__((target("avx2"))) inline const char* readBatches(const LineTemplate& t,
                                                               const Layout& layout, const char* p,
                                                               const char* stop, ChunkSamples& s) {
    const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(t.size);
    const std::ptrdiff_t wa = t.window[0], wb = t.window[kLines == 2 ? 1 : 0];
    // Two lines of a b: the times and the values, doubles {tf, 2 + tf} and
    // {vf, 2 + vf}, as pairs of floats.
    const int tf = layout.timeField == 1 ? 2 : 0, vf = layout.valueField == 1 ? 2 : 0;
    const __m256i arrange =
        _mm256_setr_epi32(tf, tf + 1, tf + 4, tf + 5, vf, vf + 1, vf + 4, vf + 5);
    const __m128d scale = _mm_set1_pd(layout.timeScale);
    __m128d last = _mm_set1_pd(s.previous);
    __m128d lowest = _mm_set1_pd(s.minStep), highest = _mm_set1_pd(s.maxStep);
    // In locals: stores through the sample pointers could otherwise alias s.
    double* const times = s.times;
    double* const values = s.values;
    std::size_t n = s.n;
    const char* q = p;
    // Batches whose lines all start before stop and whose samples fit.
    const std::ptrdiff_t starts = stop - p > 0 ? (stop - p - 1) / size + 1 : 0;
    std::size_t batches = std::min(static_cast<std::size_t>(starts), s.room - s.n) / kLines;
    for (; batches > 0; --batches) {
        // The processor's own prefetching leaves this loop waiting for the
        // text; asking for it 2 KB ahead takes an eighth off.
        _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(q) + 2048),
                     _MM_HINT_T0);
        __m256d v;
        const __m256i fit =
            kLines == 2
                ? readFour(t, q + wa, q + wb, q + size + wa, q + size + wb, v)
                : readFour(t, q + wa, q + size + wa, q + 2 * size + wa, q + 3 * size + wa, v);
        if (_mm256_movemask_epi8(_mm256_and_si256(fit, inRanges(t, q))) != -1 ||
            (load8(q + 64) & t.tailMask) != t.tail)
            break;
        if constexpr (kLines == 2) {
            const __m256d r =
                _mm256_castps_pd(_mm256_permutevar8x32_ps(_mm256_castpd_ps(v), arrange));
            if (times != nullptr) {
                const __m128d time = _mm_mul_pd(_mm256_castpd256_pd128(r), scale);
                const __m128d d = _mm_sub_pd(time, _mm_shuffle_pd(last, time, 1));
                lowest = _mm_min_pd(d, lowest);
                highest = _mm_max_pd(d, highest);
                last = time;
                _mm_storeu_pd(times + n, time);
            }
            _mm_storeu_pd(values + n, _mm256_extractf128_pd(r, 1));
        } else {
            _mm256_storeu_pd(values + n, v);
        }
        n += kLines;
        q += static_cast<std::ptrdiff_t>(kLines) * size;
    }
    if (n != s.n) {
        s.n = n;
        s.previous = _mm_cvtsd_f64(_mm_unpackhi_pd(last, last));
        s.minStep = std::min(_mm_cvtsd_f64(lowest), _mm_cvtsd_f64(_mm_unpackhi_pd(lowest, lowest)));
        s.maxStep =
            std::max(_mm_cvtsd_f64(highest), _mm_cvtsd_f64(_mm_unpackhi_pd(highest, highest)));
    }
    return q;
}

struct WideReading {
    __attribute__((target("avx2"), noinline)) static const char* run(const LineTemplate& t,
                                                                     const Layout& layout,
                                                                     const char* p,
                                                                     const char* stop,
                                                                     ChunkSamples& samples) {
        if (!t.wide) return readRunWith<NarrowMatch>(t, layout, p, stop, samples);
        if (t.batchLines == 0) return readRunWith<WideMatch>(t, layout, p, stop, samples);
        double fields[kTemplateFields];
        for (;;) {
            // The first sample of a piece has no step before it.
            if (samples.n > 0 || samples.times == nullptr) {
                p = t.batchLines == 2 ? readBatches<2>(t, layout, p, stop, samples)
                                      : readBatches<4>(t, layout, p, stop, samples);
            }
            if (p >= stop || samples.n == samples.room || !matchTemplateWide(t, p, fields))
                return p;
            storeSample(layout, fields, samples);
            p += t.size;
        }
    }
};
#endif

// Inlined into one function per reader, so that the wide one is compiled
// for the wide vectors as a whole.
template <class Reading>
__attribute__((always_inline)) inline void parseChunkWith(const Body& body, Chunk& c) {
    const Layout& layout = *body.layout;
    ChunkSamples samples{body.times != nullptr ? body.times + c.offset : nullptr,
                         body.values + c.offset, c.lines};
    double few[kTemplateFields];
    std::vector<double> many(layout.fields > kTemplateFields ? layout.fields : 0);
    double* const fields = many.empty() ? few : many.data();
    const char* spans[2 * kTemplateFields];
    const bool learn = body.templates && layout.fields <= kTemplateFields;
    LineTemplate tmpl;
    unsigned skipLearning = 0, backoff = 0;
    std::size_t hits = 0;  // lines the template read since the last attempt to learn one
    bool attempted = false;
    // Lines that start before tryEnd have room for a template's reach.
    const char* const tryEnd = static_cast<std::size_t>(body.textEnd - c.begin) < kTemplateReach
                                   ? c.begin
                                   : std::min(c.end, body.textEnd - (kTemplateReach - 1));

    const char* p = c.begin;
    while (p < c.end) {
        if (tmpl.size != 0 && p < tryEnd) {
            const char* const runEnd = Reading::run(tmpl, layout, p, tryEnd, samples);
            if (runEnd != p) {
                if (layout.decimalComma) {
                    if (tmpl.firstPoint >= 0 && c.firstPoint == nullptr)
                        c.firstPoint = p + tmpl.firstPoint;
                    if (tmpl.firstComma >= 0 && c.firstComma == nullptr)
                        c.firstComma = p + tmpl.firstComma;
                }
                hits += static_cast<std::size_t>(runEnd - p) / tmpl.size;
                p = runEnd;
                if (p >= c.end) break;
            }
        }
        {
            const char* next;
            const LineResult r =
                parsePlainLine(layout, p, c.end, next, fields, c, learn ? spans : nullptr);
            if (r == LineResult::Fault) break;
            // Learn this line's layout, unless layouts keep changing: then
            // learn ever more rarely, so that learning costs little.
            if (r == LineResult::Sample && learn && next[-1] == '\n' &&
                static_cast<std::size_t>(body.textEnd - p) >= kTemplateReach) {
                if (skipLearning > 0) {
                    --skipLearning;
                } else {
                    // Wasted: the last attempt led to no hits before this miss.
                    const bool wasted = attempted && hits == 0;
                    learnTemplate(tmpl, layout, p, static_cast<std::size_t>(next - p), spans);
                    attempted = true;
                    hits = 0;
                    backoff = wasted ? std::min(2 * backoff + 1, 255u) : 0;
                    skipLearning = backoff;
                }
            }
            p = next;
            if (r == LineResult::Sample) {
                if (samples.n == samples.room) {
                    c.overflow = true;
                    break;
                }
                storeSample(layout, fields, samples);
            }
        }
    }
    c.samples = samples.n;
    c.minStep = samples.minStep;
    c.maxStep = samples.maxStep;
}

#if defined(KORVEX_WIDE_READER)
__attribute__((target("avx2"))) void parseChunkWide(const Body& body, Chunk& c) {
    parseChunkWith<WideReading>(body, c);
}
#endif

void parseChunk(const Body& body, Chunk& c) {
#if defined(KORVEX_WIDE_READER)
    if (body.wide && wideReader()) {
        parseChunkWide(body, c);
        return;
    }
#endif
    parseChunkWith<NarrowReading>(body, c);
}

// ---------------------------------------------------------------------------
// Threads

// Runs task(0) .. task(count - 1), the first on this thread and the others
// on threads of their own; rethrows the first failure once all are done.
template <class Task>
void runParallel(unsigned count, const Task& task) {
    std::vector<std::exception_ptr> errors(count);
    const auto guarded = [&](unsigned k) {
        try {
            task(k);
        } catch (...) {
            errors[k] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (unsigned k = 1; k < count; ++k) {
        try {
            threads.emplace_back(guarded, k);
        } catch (const std::system_error&) {
            guarded(k);  // no thread to be had: do it here
        }
    }
    guarded(0);
    for (std::thread& t : threads) t.join();
    for (const std::exception_ptr& e : errors) {
        if (e) std::rethrow_exception(e);
    }
}

// Sizes a sample array without letting it double, backed by huge pages
// where the system has them: a large one is given whole 2 MB pages (its
// allocator starts it on one). Its samples are left unwritten: the pages
// are first touched by the threads that parse into them.
void sizeArray(SampleArray& v, std::size_t n) {
    constexpr std::size_t kPage = (std::size_t{2} << 20) / sizeof(double);
    const bool large = n * sizeof(double) >= SampleArray::allocator_type::kLarge;
    v.reserve(large ? (n + kPage - 1) / kPage * kPage : n);
    adviseLargeArray(v.data(), v.capacity() * sizeof(double));
    v.resize(n);
}

// ---------------------------------------------------------------------------
// The first line: separator, header, columns.

struct Field {
    const char* begin;
    std::string_view text;
};

std::vector<Field> splitLine(const Layout& layout, const char* p, const char* lineEnd) {
    std::vector<Field> fields;
    if (layout.separator == Separator::Blanks) {
        while (true) {
            while (p < lineEnd && isBlank(*p)) ++p;
            if (p == lineEnd) break;
            const char* b = p;
            while (p < lineEnd && !isBlank(*p)) ++p;
            fields.push_back({b, {b, static_cast<std::size_t>(p - b)}});
        }
        return fields;
    }
    while (true) {
        while (p < lineEnd && isPad(*p, layout)) ++p;
        const std::string_view text = fieldText(layout, p, lineEnd);
        fields.push_back({p, text});
        p += text.size();
        while (p < lineEnd && *p != layout.separatorChar) ++p;
        if (p == lineEnd) break;
        ++p;
    }
    return fields;
}

bool isWholeNumber(std::string_view text, bool commaMark) {
    double value;
    const char* markAt;
    return !text.empty() && readNumber(text.data(), text.data() + text.size(), commaMark, value,
                                       markAt) == text.data() + text.size();
}

struct Source {
    std::string_view text;    // after any byte-order mark
    const char* origin;       // the first byte, mark included
    const std::string* name;  // as given

    std::size_t lineOf(const char* at) const {
        return 1 + detail::countNewlines(origin, at, detail::ReadPath::Plain);
    }
    const char* lineStart(const char* at) const {
        const char* b = text.data();
        while (at > b && at[-1] != '\n') --at;
        return at;
    }
    // 1-based characters of UTF-8 text before `at` in its line.
    std::size_t columnOf(const char* at) const {
        std::size_t column = 1;
        for (const char* c = lineStart(at); c < at; ++c) {
            if ((static_cast<unsigned char>(*c) & 0xC0) != 0x80) ++column;
        }
        return column;
    }
    [[noreturn]] void fail(const char* at, std::string reason) const {
        throw RecordError(RecordError::Kind::Input, *name, lineOf(at), columnOf(at),
                          std::move(reason));
    }
    [[noreturn]] void failLine(std::size_t line, std::string reason) const {
        throw RecordError(RecordError::Kind::Input, *name, line, 0, std::move(reason));
    }
    [[noreturn]] void failWhole(std::string reason) const {
        throw RecordError(RecordError::Kind::Input, *name, 0, 0, std::move(reason));
    }
};

bool isColumnNumber(const std::string& choice) {
    return !choice.empty() && std::all_of(choice.begin(), choice.end(), isDigit);
}

std::string lowered(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return r;
}

// The field index that `choice` picks (or `fallback`, counted from 1, when
// it is empty) and the name a message calls it.
std::pair<std::size_t, std::string> pickColumn(const Source& src, const std::string& option,
                                               const std::string& choice, std::size_t fallback,
                                               const std::vector<Field>& header, std::size_t fields,
                                               std::size_t firstLine) {
    std::size_t number = fallback;
    if (isColumnNumber(choice)) {
        number = 0;
        for (char c : choice) {
            number = number * 10 + static_cast<std::size_t>(c - '0');
            if (number > fields) break;  // no overflow; too large anyway
        }
        if (number == 0) src.failWhole(option + " " + choice + ": columns are counted from 1");
    } else if (!choice.empty()) {
        if (header.empty()) {
            src.failLine(firstLine, option + " " + quoted(choice) +
                                        " names a column, but the file has no header line "
                                        "(this first line holds numbers)");
        }
        std::vector<std::size_t> found;
        for (std::size_t i = 0; i < header.size(); ++i) {
            if (header[i].text == choice) found.push_back(i);
        }
        if (found.size() > 1) {
            src.failLine(firstLine, option + " " + quoted(choice) + ": columns " +
                                        std::to_string(found[0] + 1) + " and " +
                                        std::to_string(found[1] + 1) +
                                        " have that name; pick one by its number");
        }
        if (found.empty()) {
            std::string reason =
                option + ": no column is named " + quoted(choice) + "; the columns are";
            std::string hint;
            for (std::size_t i = 0; i < header.size(); ++i) {
                reason += (i == 0 ? " " : ", ") + quoted(header[i].text);
                if (hint.empty() && lowered(header[i].text) == lowered(choice))
                    hint = " (names are matched with their case: " + quoted(header[i].text) + "?)";
            }
            src.failLine(firstLine, reason + hint);
        }
        return {found[0], std::string(header[found[0]].text)};
    }
    if (number > fields) {
        std::string reason = option + " " + std::to_string(number) + ": the first line has only " +
                             std::to_string(fields) + (fields == 1 ? " field" : " fields");
        if (fields == 1 && choice.empty())
            reason += "; a record without a time column needs --time-column none --rate HZ";
        src.failLine(firstLine, reason);
    }
    const std::size_t index = number - 1;
    return {index, header.empty() ? std::to_string(number) : std::string(header[index].text)};
}

void checkOptions(const std::string& source, const ReadOptions& o) {
    const auto fail = [&source](const std::string& reason) {
        throw RecordError(RecordError::Kind::Input, source, 0, 0, reason);
    };
    if (o.timeColumn == "none") {
        if (!o.rateHz) fail("--time-column none needs --rate HZ");
        if (!std::isfinite(*o.rateHz) || !(*o.rateHz > 0))
            fail("--rate " + shortNumber(*o.rateHz) +
                 ": a sample rate is a positive finite number");
        if (o.timeUnit != RecordTimeUnit::Seconds) fail("--time-unit needs a time column");
    } else if (o.rateHz) {
        fail("--rate is only for records without a time column (--time-column none)");
    }
}

// Finds the sample's line again after parsing: the index-th line that is
// not blank or a comment, from `begin`.
const char* lineOfSample(const char* begin, const char* end, std::size_t index) {
    const char* p = begin;
    while (p < end) {
        const char* q = p;
        while (q < end && isBlank(*q)) ++q;
        const bool skipped = q == end || *q == '\n' || *q == '#' || *q == '%' ||
                             (*q == '\r' && (q + 1 == end || q[1] == '\n'));
        if (!skipped && index-- == 0) return p;
        const char* nl =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        p = nl != nullptr ? nl + 1 : end;
    }
    return end;
}

// The first i in [from, to) whose step from sample i - 1 strays from the
// interval, or kNone.
std::size_t firstBadStep(const double* t, std::size_t from, std::size_t to, double interval) {
    for (std::size_t i = std::max<std::size_t>(from, 1); i < to; ++i) {
        const double step = t[i] - t[i - 1];
        if (!(step > 0) || std::abs(step - interval) > kIntervalTolerance * interval) return i;
    }
    return kNone;
}

unsigned threadCount(const ReadOptions& o, std::size_t bytes, bool plain) {
    if (plain) return 1;
    if (o.threads != 0) return std::min(o.threads, 256u);
    if (bytes < (std::size_t{1} << 20)) return 1;  // not worth a thread
    return std::max(1u, std::thread::hardware_concurrency());
}

Channel parse(std::string_view input, const std::string& source, const ReadOptions& options,
              detail::ReadPath path) {
    const bool plain = path == detail::ReadPath::Plain;
    checkOptions(source, options);
    Source src{input, input.data(), &source};
    if (src.text.size() >= 3 && std::memcmp(src.text.data(), "\xEF\xBB\xBF", 3) == 0)
        src.text.remove_prefix(3);
    const char* const textBegin = src.text.data();
    const char* const textEnd = textBegin + src.text.size();
    if (src.text.empty()) src.failWhole("the file is empty");

    // The first line that is not blank or a comment sets the separator and
    // the number of fields, and is either the header or the first sample.
    const char* first = textBegin;
    const char* firstEnd = nullptr;
    const char* afterFirst = nullptr;
    for (;;) {
        if (first == textEnd) src.failWhole("no samples: only comments and blank lines");
        const char* nl = static_cast<const char*>(
            std::memchr(first, '\n', static_cast<std::size_t>(textEnd - first)));
        afterFirst = nl != nullptr ? nl + 1 : textEnd;
        firstEnd = nl != nullptr ? nl : textEnd;
        if (firstEnd > first && firstEnd[-1] == '\r') --firstEnd;
        const char* q = first;
        while (q < firstEnd && isBlank(*q)) ++q;
        if (q < firstEnd && *q != '#' && *q != '%') break;
        first = afterFirst;
    }
    Layout layout;
    const std::string_view firstText(first, static_cast<std::size_t>(firstEnd - first));
    if (firstText.find(';') != std::string_view::npos) {
        layout.separator = Separator::Semicolon;
    } else if (firstText.find('\t') != std::string_view::npos) {
        layout.separator = Separator::Tab;
    } else if (firstText.find(',') != std::string_view::npos) {
        layout.separator = Separator::Comma;
    }
    const char separatorChars[] = {0, '\t', ',', ';'};
    layout.separatorChar = separatorChars[static_cast<int>(layout.separator)];
    layout.decimalComma = layout.separator == Separator::Semicolon;
    layout.firstLine = src.lineOf(first);

    const std::vector<Field> firstFields = splitLine(layout, first, firstEnd);
    layout.fields = firstFields.size();
    std::vector<Field> header;
    if (firstFields[0].text.empty()) src.fail(firstFields[0].begin, "field 1 is empty");
    if (!isWholeNumber(firstFields[0].text, layout.decimalComma)) {
        for (std::size_t i = 0; i < firstFields.size(); ++i) {
            const Field& f = firstFields[i];
            if (f.text.empty())
                src.fail(f.begin,
                         "field " + std::to_string(i + 1) + " of the header line is empty");
            if (isWholeNumber(f.text, layout.decimalComma)) {
                src.fail(f.begin, "field " + std::to_string(i + 1) + ": " + quoted(f.text) +
                                      " is a number, but field 1 names a column: a header line "
                                      "names every column");
            }
        }
        header = firstFields;
    }

    Channel record;
    const bool timed = options.timeColumn != "none";
    if (timed) {
        layout.timeField = pickColumn(src, "--time-column", options.timeColumn, 1, header,
                                      layout.fields, layout.firstLine)
                               .first;
        layout.timeScale = options.timeUnit == RecordTimeUnit::Milliseconds ? 0.001 : 1.0;
    }
    auto [valueField, label] = pickColumn(src, "--column", options.valueColumn, timed ? 2 : 1,
                                          header, layout.fields, layout.firstLine);
    if (valueField == layout.timeField) {
        src.failLine(layout.firstLine, "--column and --time-column both pick column " +
                                           std::to_string(valueField + 1));
    }
    layout.valueField = valueField;
    record.name = std::move(label);

    // The lines after the header, split into pieces of whole lines, eight
    // per thread, which the threads take in turn: a thread that gets less
    // of a busy machine takes fewer. Each piece has room for as many
    // samples as it has lines, so that they go straight to their final
    // places.
    const char* const bodyBegin = header.empty() ? first : afterFirst;
    const std::size_t bodyBytes = static_cast<std::size_t>(textEnd - bodyBegin);
    const unsigned threads = threadCount(options, bodyBytes, plain);
    const std::size_t pieces = threads == 1 ? 1 : 8 * std::size_t{threads};
    std::vector<Chunk> chunks(pieces);
    // Where all lines are as long as the first (korvex's are, and those of
    // many loggers), a piece of b bytes holds b / that many and need not be
    // counted. The first line's length is checked at the cuts, or at eight
    // places in one piece; a piece that turns out to hold more samples has
    // every piece counted and read again.
    const char* firstNewline = static_cast<const char*>(
        std::memchr(bodyBegin, '\n', std::min<std::size_t>(bodyBytes, 4096)));
    const std::size_t lineSize =
        firstNewline != nullptr ? static_cast<std::size_t>(firstNewline + 1 - bodyBegin) : 0;
    const std::size_t wholeLines = lineSize > 0 ? bodyBytes / lineSize : 0;
    bool uniform = !plain && wholeLines > 0;
    const std::size_t probes = std::max<std::size_t>(pieces, 8);
    for (std::size_t k = 1; uniform && k < probes; ++k) {
        const std::size_t line = wholeLines * k / probes;
        uniform = line == 0 || bodyBegin[line * lineSize - 1] == '\n';
    }
    for (std::size_t k = 0; k < pieces; ++k) {
        const char* cut = bodyBegin + bodyBytes / pieces * k + bodyBytes % pieces * k / pieces;
        if (uniform) {
            cut = bodyBegin + wholeLines * k / pieces * lineSize;
        } else if (k > 0 && cut > bodyBegin && cut[-1] != '\n') {
            const char* nl = static_cast<const char*>(
                std::memchr(cut, '\n', static_cast<std::size_t>(textEnd - cut)));
            cut = nl != nullptr ? nl + 1 : textEnd;
        }
        chunks[k].begin = std::max(cut, k > 0 ? chunks[k - 1].begin : bodyBegin);
        if (k > 0) chunks[k - 1].end = chunks[k].begin;
    }
    chunks[pieces - 1].end = textEnd;
    std::atomic<std::size_t> nextPiece{0};
    const auto eachPiece = [&](auto work) {
        nextPiece = 0;
        runParallel(threads, [&](unsigned) {
            for (std::size_t k = nextPiece++; k < pieces; k = nextPiece++) work(chunks[k]);
        });
    };
    const auto countLines = [path](Chunk& c) {
        c.lines =
            detail::countNewlines(c.begin, c.end, path) + (c.end > c.begin && c.end[-1] != '\n');
    };
    if (uniform) {
        for (Chunk& c : chunks)
            c.lines = (static_cast<std::size_t>(c.end - c.begin) + lineSize - 1) / lineSize;
    } else {
        eachPiece(countLines);
    }

    Body body;
    body.layout = &layout;
    body.textEnd = textEnd;
    // Templates read digits eight to a 64-bit word, lowest address first.
    body.templates = !plain && std::endian::native == std::endian::little;
    body.wide = path == detail::ReadPath::WideTemplates;
    for (;;) {
        std::size_t room = 0;
        for (Chunk& c : chunks) {
            c.offset = room;
            room += c.lines;
        }
        sizeArray(record.values, room);
        if (timed) sizeArray(record.time, room);
        body.times = timed ? record.time.data() : nullptr;
        body.values = record.values.data();
        eachPiece([&body](Chunk& c) { parseChunk(body, c); });
        if (std::none_of(chunks.begin(), chunks.end(), [](const Chunk& c) { return c.overflow; }))
            break;
        // Lines shorter than the first: count them, and read again.
        record.values = SampleArray();
        record.time = SampleArray();
        for (Chunk& c : chunks) {
            Chunk again;
            again.begin = c.begin;
            again.end = c.end;
            c = std::move(again);
        }
        eachPiece(countLines);
    }

    const char* faultAt = nullptr;
    std::string fault;
    const char* firstPoint = nullptr;
    const char* firstComma = nullptr;
    for (Chunk& c : chunks) {
        if (firstPoint == nullptr) firstPoint = c.firstPoint;
        if (firstComma == nullptr) firstComma = c.firstComma;
        if (c.faultAt != nullptr && faultAt == nullptr) {
            faultAt = c.faultAt;
            fault = std::move(c.fault);
        }
    }
    // In a semicolon file the first number with a decimal mark sets which
    // mark the file uses; one of the other kind is a fault.
    if (firstPoint != nullptr && firstComma != nullptr) {
        const char* other = std::max(firstPoint, firstComma);
        if (faultAt == nullptr || other < faultAt) {
            const char* before = std::min(firstPoint, firstComma);
            faultAt = other;
            fault = std::string(*other == ',' ? "decimal comma" : "decimal point") + ", but line " +
                    std::to_string(src.lineOf(before)) + " has a " +
                    (*before == ',' ? "decimal comma" : "decimal point") +
                    ": one file, one decimal mark";
        }
    }
    if (faultAt != nullptr) src.fail(faultAt, std::move(fault));

    // Close the gaps that skipped lines left between the pieces.
    std::size_t n = 0;
    for (const Chunk& c : chunks) {
        if (c.offset != n) {
            std::memmove(record.values.data() + n, record.values.data() + c.offset,
                         c.samples * sizeof(double));
            if (timed)
                std::memmove(record.time.data() + n, record.time.data() + c.offset,
                             c.samples * sizeof(double));
        }
        n += c.samples;
    }
    record.values.resize(n);
    if (timed) record.time.resize(n);
    if (n == 0) src.failWhole(header.empty() ? "no samples" : "no samples after the header line");
    if (n == 1) src.failWhole("only one sample: a record needs at least two");

    if (!timed) {
        record.startS = 0.0;
        record.intervalS = 1.0 / *options.rateHz;
        return record;
    }
    const SampleArray& t = record.time;
    record.startS = t[0];
    record.intervalS = (t[n - 1] - t[0]) / static_cast<double>(n - 1);
    // The steps within each piece are known; add those across the pieces'
    // joins. A rounded subtraction keeps the order of the steps, so no step
    // is further from the interval than the shortest or the longest one.
    double minStep = kNoStep[0], maxStep = kNoStep[1];
    std::size_t start = 0;
    for (const Chunk& c : chunks) {
        minStep = std::min(minStep, c.minStep);
        maxStep = std::max(maxStep, c.maxStep);
        if (start > 0 && c.samples > 0) {
            minStep = std::min(minStep, t[start] - t[start - 1]);
            maxStep = std::max(maxStep, t[start] - t[start - 1]);
        }
        start += c.samples;
    }
    const auto strays = [&record](double step) {
        return !(step > 0) ||
               std::abs(step - record.intervalS) > kIntervalTolerance * record.intervalS;
    };
    const std::size_t i =
        strays(minStep) || strays(maxStep) ? firstBadStep(t.data(), 1, n, record.intervalS) : kNone;
    if (i != kNone) {
        const char* line = lineOfSample(bodyBegin, textEnd, i);
        const char* previous = lineOfSample(bodyBegin, textEnd, i - 1);
        std::vector<const char*> spans(2 * layout.fields);
        std::vector<double> scratch(layout.fields);
        Chunk scratchChunk;
        const char* next;
        parsePlainLine(layout, previous, textEnd, next, scratch.data(), scratchChunk, spans.data());
        const std::string before(spans[2 * layout.timeField], spans[2 * layout.timeField + 1]);
        parsePlainLine(layout, line, textEnd, next, scratch.data(), scratchChunk, spans.data());
        const char* at = spans[2 * layout.timeField];
        const std::string now(at, spans[2 * layout.timeField + 1]);
        const double step = t[i] - t[i - 1];
        if (!(step > 0)) {
            src.fail(at, "time " + quoted(now) + " does not increase (the line before has " +
                             quoted(before) + ")");
        }
        src.fail(at, "time step " + shortNumber(step) +
                         " s differs by more than 1 % from the interval " +
                         shortNumber(record.intervalS) +
                         " s = (last time - first time) / (samples - 1)");
    }
    return record;
}

// ---------------------------------------------------------------------------
// Getting the bytes

[[noreturn]] void unreadable(const std::string& path, int error) {
    throw RecordError(RecordError::Kind::Unreadable, path, 0, 0,
                      error != 0 ? std::generic_category().message(error) : "read error");
}

// The bytes of a file or of standard input.
class InputText {
  public:
    InputText() = default;
    ~InputText() {
#ifdef KORVEX_MAP_FILES
        if (mapped_) unmap(const_cast<char*>(data_), size_);
#endif
        std::free(owned_);
    }
    InputText(const InputText&) = delete;
    InputText& operator=(const InputText&) = delete;

    std::string_view view() const {
        return {data_, size_};
    }

#ifdef KORVEX_MAP_FILES
    // Unmapping a large file takes a millisecond or two (66 MB: 16,000
    // page table entries), which a short thread of its own spends while
    // the caller goes on with the samples; the pages are the system's
    // file cache, so nothing waits for them.
    static void unmap(void* p, std::size_t size) {
        if (size >= (std::size_t{16} << 20)) {
            try {
                std::thread([p, size] { ::munmap(p, size); }).detach();
                return;
            } catch (const std::system_error&) {
                // no thread to be had: unmap here
            }
        }
        ::munmap(p, size);
    }

    // Maps the regular file open at fd from its start; false where it
    // cannot. Its pages are faulted in by the threads that count its lines.
    bool map(int fd, std::size_t size) {
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) return false;
#ifdef MADV_WILLNEED
        ::madvise(p, size, MADV_WILLNEED);  // start reading what is not in memory yet
#endif
        data_ = static_cast<const char*>(p);
        size_ = size;
        mapped_ = true;
        return true;
    }
#endif

    // Reads a stream to its end in large blocks. The buffer grows by
    // realloc, which for large blocks usually remaps rather than copies.
    void read(std::FILE* f, const std::string& name, std::size_t sizeHint) {
        std::size_t capacity = std::max<std::size_t>(sizeHint + 1, std::size_t{1} << 20);
        owned_ = static_cast<char*>(std::malloc(capacity));
        if (owned_ == nullptr) throw std::bad_alloc();
        std::size_t size = 0;
        for (;;) {
            if (size == capacity) {
                capacity *= 2;
                char* grown = static_cast<char*>(std::realloc(owned_, capacity));
                if (grown == nullptr) throw std::bad_alloc();
                owned_ = grown;
            }
            errno = 0;
            const std::size_t got = std::fread(owned_ + size, 1, capacity - size, f);
            size += got;
            if (got == 0 || size < capacity) {
                if (std::ferror(f)) unreadable(name, errno);
                if (std::feof(f)) break;
            }
        }
        data_ = owned_;
        size_ = size;
    }

  private:
    const char* data_ = "";
    std::size_t size_ = 0;
    bool mapped_ = false;
    char* owned_ = nullptr;
};

void loadStandardInput(InputText& text) {
#ifdef KORVEX_MAP_FILES
    struct stat st;
    if (::fstat(0, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
        ::lseek(0, 0, SEEK_CUR) == 0 && text.map(0, static_cast<std::size_t>(st.st_size))) {
        return;
    }
#endif
    text.read(stdin, "-", 0);
}

void loadFile(const std::string& path, InputText& text) {
#ifdef KORVEX_MAP_FILES
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) unreadable(path, errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        unreadable(path, error);
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0 &&
        text.map(fd, static_cast<std::size_t>(st.st_size))) {
        ::close(fd);
        return;
    }
    std::FILE* f = ::fdopen(fd, "rb");
    if (f == nullptr) {
        const int error = errno;
        ::close(fd);
        unreadable(path, error);
    }
    const std::size_t hint = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
#else
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) unreadable(path, errno);
    const std::size_t hint = 0;
#endif
    try {
        text.read(f, path, hint);
    } catch (...) {
        std::fclose(f);
        throw;
    }
    std::fclose(f);
}

Record wrapped(const std::string& source, Channel channel) {
    Record record;
    record.source = source;
    record.format = "text";
    record.channels.push_back(std::move(channel));
    return record;
}

}  // namespace

Record readRecord(const std::string& path, const ReadOptions& options) {
    checkOptions(path, options);  // before reading what may be a large file
    InputText text;
    if (path == "-") {
        loadStandardInput(text);
    } else {
        loadFile(path, text);
    }
    return wrapped(path, parse(text.view(), path, options, detail::ReadPath::WideTemplates));
}

Record parseRecord(std::string_view text, const std::string& source, const ReadOptions& options) {
    return wrapped(source, parse(text, source, options, detail::ReadPath::WideTemplates));
}

namespace detail {

Record parseRecordBy(std::string_view text, const std::string& source, const ReadOptions& options,
                     ReadPath path) {
    return wrapped(source, parse(text, source, options, path));
}

std::uint64_t matchBytes(const char* line, const char* pattern, const char* digits,
                         unsigned blocks) {
    return matchLineBytes(line, pattern, digits, blocks);
}

std::uint64_t matchBytesPortable(const char* line, const char* pattern, const char* digits,
                                 unsigned blocks) {
    std::uint64_t bits = 0;
    for (unsigned i = 0; i < 16 * blocks; ++i) {
        if (line[i] == pattern[i] || (digits[i] != 0 && isDigit(line[i])))
            bits |= std::uint64_t{1} << i;
    }
    return bits;
}

std::size_t countNewlines(const char* begin, const char* end, ReadPath path) {
    if (path == ReadPath::WideTemplates && wideReader()) return countNewlinesWide(begin, end);
    if (path != ReadPath::Plain) return countNewlinesNarrow(begin, end);
    return countNewlinesPortable(begin, end);
}

std::size_t countNewlinesPortable(const char* begin, const char* end) {
    return static_cast<std::size_t>(std::count(begin, end, '\n'));
}

}  // namespace detail

}  // namespace korvex
