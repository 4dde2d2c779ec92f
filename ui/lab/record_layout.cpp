#include "ui/lab/record_layout.h"

#include "analysis/record/text/layout_peek.h"

namespace korvex {

RecordLayout peekRecordLayout(std::string_view head) {
    const TextLayoutPeek peek = peekTextLayout(head);
    RecordLayout layout;
    if (!peek.found) return layout;
    layout.columns = static_cast<int>(peek.columns);
    for (const std::string& name : peek.names) layout.names << QString::fromStdString(name);
    layout.ownFormat = peek.ownFormat;
    layout.headerUnit = peek.timeUnit;
    layout.firstLine = QString::fromStdString(peek.firstLine);
    layout.open = peek.open;
    return layout;
}

std::optional<ReadOptions> decidedOptions(const RecordLayout& layout) {
    if (layout.columns == 0 || !layout.open.empty()) return std::nullopt;
    ReadOptions o;
    o.timeUnit = layout.headerUnit.value_or(RecordTimeUnit::Seconds);
    return o;
}

}  // namespace korvex
