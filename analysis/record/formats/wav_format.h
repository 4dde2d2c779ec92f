// WAV files: PCM of 16, 24 or 32 bits and floats, any channel count, read
// from the bytes (so standard input works); values as stored, full scale
// 1.0, times a scale such as a sensor's sensitivity.
#pragma once

#include "analysis/record/format_options.h"
#include "analysis/record/record_format.h"

namespace korvex {

class WavFormat final : public RecordFormat {
  public:
    std::string_view name() const override { return "wav"; }
    std::string_view title() const override { return "WAV files"; }
    std::vector<std::string_view> patterns() const override { return {"*.wav", "*.WAV"}; }
    Sniff sniff(std::string_view head, std::string_view path) const override;
    Record read(const RecordInput& input, const ReadOptions& options) const override {
        return read(input, options, formatOptionsFrom(options));
    }
    // Channels, scale and unit as `format` asks. Throws RecordError.
    Record read(const RecordInput& input, const ReadOptions& options,
                const FormatOptions& format) const;
};

}  // namespace korvex
