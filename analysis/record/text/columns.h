// Which fields of the text's lines are the times and the values: the
// settings' choices (a number from 1, a header name, or the defaults)
// checked against the first line.
#pragma once

#include <string>

#include "analysis/record/text/first_line.h"
#include "analysis/record_reader.h"

namespace korvex::text {

// Settings that do not fit together, before any byte is read.
void checkOptions(const std::string& source, const ReadOptions& options);

// Sets layout.timeField, timeScale and valueField; returns the value
// column's name (its header, or its number).
std::string pickColumns(const Source& src, const FirstLine& first, const ReadOptions& options,
                        Layout& layout);

}  // namespace korvex::text
