// Decimal number text, read the same way under every C locale.
#pragma once

#include <optional>
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

}  // namespace korvex
