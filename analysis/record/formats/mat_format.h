// MATLAB .mat files (v5 and v7.3): numeric vectors and N x k matrices as
// channels, timed by a time variable or column, a rate variable or a rate.
#pragma once

#include "analysis/record/format_options.h"
#include "analysis/record/record_format.h"

namespace korvex {

class MatFormat final : public RecordFormat {
  public:
    std::string_view name() const override { return "mat"; }
    std::string_view title() const override { return "MATLAB MAT files"; }
    std::vector<std::string_view> patterns() const override { return {"*.mat"}; }
    Sniff sniff(std::string_view head, std::string_view path) const override;
    Record read(const RecordInput& input, const ReadOptions& options) const override {
        return read(input, options, formatOptionsFrom(options));
    }
    // Channels and time as `format` and options.timeColumn ask. Throws RecordError.
    Record read(const RecordInput& input, const ReadOptions& options,
                const FormatOptions& format) const;
};

// True where a rate variable's name says it holds the interval in seconds
// ("dt", "interval", "Ts", ...), not the rate in Hz.
bool namesAnInterval(std::string_view variable);

}  // namespace korvex
