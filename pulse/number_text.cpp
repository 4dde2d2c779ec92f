#include "pulse/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "pulse/char_class.h"

namespace korvex {
namespace {

struct Scanned {
    bool found = false;
    bool negative = false;
    std::size_t end = 0;  // one past the number, sign included
    double value = 0.0;
};

// Reads the longest decimal number starting at text[pos].
Scanned scanNumber(std::string_view text, std::size_t pos) {
    Scanned r;
    std::size_t i = pos;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) r.negative = text[i++] == '-';
    const std::size_t digitsBegin = i;

    std::size_t intDigits = 0;     // before the point, leading zeros excluded
    std::size_t leadingZeros = 0;  // zeros right after the point, when intDigits == 0
    bool anyDigit = false;
    bool nonZeroSeen = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        anyDigit = true;
        nonZeroSeen = nonZeroSeen || text[i] != '0';
        if (nonZeroSeen) ++intDigits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            anyDigit = true;
            if (!nonZeroSeen) {
                if (text[i] == '0') {
                    ++leadingZeros;
                } else {
                    nonZeroSeen = true;
                }
            }
        }
    }
    if (!anyDigit) return r;

    // An exponent counts only with at least one digit after e and its sign.
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            negativeExponent = text[j++] == '-';
        if (j < text.size() && isDigit(text[j])) {
            for (; j < text.size() && isDigit(text[j]); ++j) {
                if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[j] - '0');
            }
            if (negativeExponent) exponent = -exponent;
            i = j;
        }
    }

    r.found = true;
    r.end = i;
    const char* first = text.data() + digitsBegin;
    const char* last = text.data() + i;
    const auto res = std::from_chars(first, last, r.value, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone; decide by the decimal magnitude.
        const long long magnitude = intDigits > 0 ? static_cast<long long>(intDigits) + exponent
                                                  : exponent - static_cast<long long>(leadingZeros);
        r.value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (r.negative) r.value = -r.value;
    return r;
}

}  // namespace

double parseLeadingNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    return scanNumber(text, pos).value;
}

std::optional<double> parseStrictNumber(std::string_view text) {
    const Scanned r = scanNumber(text, 0);
    if (!r.found || r.end != text.size() || !std::isfinite(r.value)) return std::nullopt;
    return r.value;
}

std::string shortestText(double x) {
    if (x == 0.0) return "0";
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, res.ptr);
}

std::string humanText(double x, int digits) {
    if (x == 0.0) return "0";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, digits);
    return std::string(buf, res.ptr);
}

std::string quotedText(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::size_t cut = text.size();
    if (cut > kShown) {
        // Not in the middle of a UTF-8 character.
        cut = kShown;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    }
    std::string out;
    out.reserve(cut + 5);
    out.push_back('\'');
    out.append(text.substr(0, cut));
    if (cut < text.size()) out.append("\u2026");
    out.push_back('\'');
    return out;
}

}  // namespace korvex
