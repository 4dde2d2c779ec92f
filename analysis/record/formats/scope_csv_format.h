// Oscilloscope CSV exports that say their own time base: a two-line header
// with the start and the increment ("X,CH1,...,Start,Increment" over
// "Sequence,Volt,...,<t0>,<dt>"), or channel names over their units
// ("x-axis,1" over "second,Volt") with a time column.
#pragma once

#include "analysis/record/format_options.h"
#include "analysis/record/record_format.h"

namespace korvex {

class ScopeCsvFormat final : public RecordFormat {
  public:
    std::string_view name() const override { return "scope-csv"; }
    std::string_view title() const override { return "oscilloscope CSV exports"; }
    std::vector<std::string_view> patterns() const override { return {"*.csv", "*.CSV"}; }
    Sniff sniff(std::string_view head, std::string_view path) const override;
    Record read(const RecordInput& input, const ReadOptions& options) const override {
        return read(input, options, formatOptionsFrom(options));
    }
    // Throws RecordError.
    Record read(const RecordInput& input, const ReadOptions& options,
                const FormatOptions& format) const;
};

}  // namespace korvex
