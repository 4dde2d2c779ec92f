// LabVIEW measurement files (.lvm): text with a file header, then segments,
// each with its own header and a block of channels in columns.
#pragma once

#include "analysis/record/format_options.h"
#include "analysis/record/record_format.h"

namespace korvex {

class LvmFormat final : public RecordFormat {
  public:
    std::string_view name() const override { return "lvm"; }
    std::string_view title() const override { return "LabVIEW measurement files"; }
    std::vector<std::string_view> patterns() const override { return {"*.lvm"}; }
    Sniff sniff(std::string_view head, std::string_view path) const override;
    Record read(const RecordInput& input, const ReadOptions& options) const override {
        return read(input, options, formatOptionsFrom(options));
    }
    // Channels, segment and rate as `format` asks. Throws RecordError.
    Record read(const RecordInput& input, const ReadOptions& options,
                const FormatOptions& format) const;
};

}  // namespace korvex
