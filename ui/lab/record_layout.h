// What the window makes of a text record's first line before reading it: the
// reader's own peek (peekTextLayout), in the dialog's terms, and the options
// when the file leaves nothing open.
#pragma once

#include <QStringList>

#include <optional>
#include <string_view>
#include <vector>

#include "analysis/record/record_error.h"
#include "analysis/record_reader.h"

namespace korvex {

// The first line that is not blank or a comment, as the reader splits it.
struct RecordLayout {
    int columns = 0;                           // 0: nothing the reader could use
    QStringList names;                         // the header's, empty without a header line
    bool ownFormat = false;                    // korvex's own time-history lines: seconds
    std::optional<RecordTimeUnit> headerUnit;  // what the time column's name says
    QString firstLine;                         // for the dialog
    std::vector<ReadSetting> open;             // what the file leaves to ask
};

RecordLayout peekRecordLayout(std::string_view head);

// The options when the layout leaves nothing open; else none.
std::optional<ReadOptions> decidedOptions(const RecordLayout& layout);

}  // namespace korvex
