// A format that takes FormatOptions beyond ReadOptions: read through the
// interface, it takes the ones ReadOptions already carries.
#pragma once

#include "analysis/record/format_options.h"
#include "analysis/record/record_format.h"

namespace korvex {

class OptionedFormat : public RecordFormat {
  public:
    OptionedFormat(std::string_view name, std::string_view title,
                   std::vector<std::string_view> patterns)
        : name_(name), title_(title), patterns_(std::move(patterns)) {}
    std::string_view name() const final { return name_; }
    std::string_view title() const final { return title_; }
    std::vector<std::string_view> patterns() const final { return patterns_; }
    Record read(const RecordInput& input, const ReadOptions& options) const final {
        return read(input, options, formatOptionsFrom(options));
    }
    // Throws RecordError.
    virtual Record read(const RecordInput& input, const ReadOptions& options,
                        const FormatOptions& format) const = 0;

  private:
    std::string_view name_;
    std::string_view title_;
    std::vector<std::string_view> patterns_;
};

}  // namespace korvex
