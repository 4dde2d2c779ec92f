// The one classifier of digits and blanks for number text anywhere in
// korvex: plain ASCII bytes, the same under every C locale.
#pragma once

namespace korvex {

constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// What separates fields on a line: a space or a tab.
constexpr bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// White space as the C locale's isspace knows it; bytes above 127 never are.
constexpr bool isSpace(char c) {
    return isBlank(c) || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace korvex
