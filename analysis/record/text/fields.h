// The text format's pieces of a line: how fields are separated, and the
// numbers in them as the reader takes them (fast_float, an optional decimal
// comma), with the quoting of a field's text for messages.
#pragma once

#include <fast_float/fast_float.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "pulse/char_class.h"

namespace korvex::text {

inline constexpr std::size_t kNone = static_cast<std::size_t>(-1);

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
inline bool isPad(char c, const Layout& l) {
    return c == ' ' || (c == '\t' && l.separator != Separator::Tab);
}

inline bool isSeparator(char c, const Layout& l) {
    return l.separator != Separator::Blanks && c == l.separatorChar;
}

// The number at p, if one starts there: an optional sign, then what
// fast_float reads (digits with an optional decimal mark and exponent, or
// inf/nan). Returns its end, or nullptr. markAt is set to the decimal mark
// it holds, or nullptr; it is only looked for where a comma may be one.
inline const char* readNumber(const char* p, const char* end, bool commaMark, double& value,
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
std::string quoted(std::string_view text);

// A number for a message: six significant digits.
std::string shortNumber(double x);

// The field that starts at p, up to its separator or the line's end.
inline std::string_view fieldText(const Layout& layout, const char* p, const char* lineEnd) {
    const char* e = p;
    if (layout.separator == Separator::Blanks) {
        while (e < lineEnd && !isBlank(*e)) ++e;
    } else {
        while (e < lineEnd && *e != layout.separatorChar) ++e;
        while (e > p && isPad(e[-1], layout)) --e;
    }
    return {p, static_cast<std::size_t>(e - p)};
}

// Whether all of `text` is one number.
bool isWholeNumber(std::string_view text, bool commaMark);

// Why a field is not a number, or not a finite one.
std::string notANumber(const Layout& layout, std::size_t field, std::string_view text);
std::string notFinite(std::size_t field, std::string_view text);

}  // namespace korvex::text
