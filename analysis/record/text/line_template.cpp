#include "analysis/record/text/line_template.h"

namespace korvex::text {

namespace {

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

}  // namespace

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

}  // namespace korvex::text

namespace korvex::detail {

std::uint64_t matchBytes(const char* line, const char* pattern, const char* digits,
                         unsigned blocks) {
    return text::matchLineBytes(line, pattern, digits, blocks);
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

}  // namespace korvex::detail
