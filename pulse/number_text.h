// Decimal number text, read and written the same way under every C locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvex {

// Like the C library's atof in the "C" locale, restricted to decimal text:
// leading blanks are skipped, then the longest prefix of the form
// [sign] digits [. digits] [(e|E) [sign] digits] is converted, correctly
// rounded. No such prefix gives 0.0; inf, nan and hexadecimal are not numbers.
// Beyond the double range gives an infinity of that sign.
double parseLeadingNumber(std::string_view text);

// The whole text must be one finite decimal number of the form above, with
// no blanks around it; anything else gives nullopt.
std::optional<double> parseStrictNumber(std::string_view text);

// The shortest text that reads back as the same double, for tables that
// other programs read; zero of either sign is "0".
std::string shortestText(double x);

// A number as a person writes it: at most `digits` significant digits, no
// trailing zeros ("2000" for 1999.9999999999998), for messages, headers
// and the window's figures. Zero of either sign is "0".
std::string humanText(double x, int digits = 10);

// `text` in single quotes for a message, cut to its first 40 characters
// and "…" when longer, so that a pasted file does not fill the terminal.
std::string quotedText(std::string_view text);

}  // namespace korvex
