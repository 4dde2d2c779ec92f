// The one place the window sniffs a text record: the first line that is not
// blank or a comment, split as the reader splits it, to decide the columns and
// time unit or to ask for them. When the reader offers its own layout peek,
// peekRecordLayout is the one function to swap for it.
#pragma once

#include <QStringList>

#include <optional>
#include <string_view>

#include "analysis/record_reader.h"

namespace korvex {

// The first line that is not blank or a comment, as the reader splits it.
struct RecordLayout {
    int columns = 0;                           // 0: nothing the reader could use
    QStringList names;                         // the header's, empty without a header line
    bool ownFormat = false;                    // korvex's own time-history lines: seconds
    std::optional<RecordTimeUnit> headerUnit;  // what the time column's name says
    QString firstLine;                         // for the dialog
};

RecordLayout peekRecordLayout(std::string_view head);

// The options when the layout leaves nothing open: two columns, time and
// value, whose time unit the format or the header's name gives; else none.
std::optional<ReadOptions> decidedOptions(const RecordLayout& layout);

}  // namespace korvex
