// Oscilloscope CSV exports that say their own time base: a two-line header
// with the start and the increment ("X,CH1,...,Start,Increment" over
// "Sequence,Volt,...,<t0>,<dt>"), or channel names over their units
// ("x-axis,1" over "second,Volt") with a time column.
#pragma once

#include "analysis/record/formats/optioned_format.h"

namespace korvex {

class ScopeCsvFormat final : public OptionedFormat {
  public:
    ScopeCsvFormat()
        : OptionedFormat("scope-csv", "oscilloscope CSV exports", {"*.csv", "*.CSV"}) {}
    Sniff sniff(std::string_view head, std::string_view path) const override;
    using OptionedFormat::read;
    Record read(const RecordInput&, const ReadOptions&, const FormatOptions&) const override;
};

}  // namespace korvex
