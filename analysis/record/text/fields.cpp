#include "analysis/record/text/fields.h"

#include <algorithm>
#include <charconv>

namespace korvex::text {

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

bool isWholeNumber(std::string_view text, bool commaMark) {
    double value;
    const char* markAt;
    return !text.empty() && readNumber(text.data(), text.data() + text.size(), commaMark, value,
                                       markAt) == text.data() + text.size();
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

}  // namespace korvex::text
