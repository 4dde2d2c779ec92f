// A look at a text record's first line before it is read, for the window
// to ask only what the file leaves open: the separator, the header's names,
// the time unit a name states, and the settings left to decide.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/record/record_error.h"
#include "analysis/record_reader.h"

namespace korvex {

struct TextLayoutPeek {
    bool found = false;     // the text has a line that is not blank or a comment
    std::string firstLine;  // that line, without its line end
    char separator = 0;     // ';', '\t', ',' or 0 for blanks, as the reader picks it
    std::size_t columns = 0;
    std::vector<std::string> names;  // the header's names; empty when the line holds numbers
    // The time unit the first column's name states ("time_s", "t (ms)", "Time[s]").
    std::optional<RecordTimeUnit> timeUnit;
    bool ownFormat = false;  // korvex's own lines: times in seconds
    // What is left open: ValueColumn where there are more than two columns,
    // TimeColumn and Rate with one, TimeUnit where nothing states it.
    std::vector<ReadSetting> open;
};

// `head`: the start of the text (kSniffBytes of it will do).
TextLayoutPeek peekTextLayout(std::string_view head);

}  // namespace korvex
