// WAV files: PCM of 16, 24 or 32 bits and floats, any channel count, read
// from the bytes (so standard input works); values as stored, full scale
// 1.0, times a scale such as a sensor's sensitivity.
#pragma once

#include "analysis/record/formats/optioned_format.h"

namespace korvex {

class WavFormat final : public OptionedFormat {
  public:
    WavFormat() : OptionedFormat("wav", "WAV files", {"*.wav", "*.WAV"}) {}
    Sniff sniff(std::string_view head, std::string_view path) const override;
    using OptionedFormat::read;
    Record read(const RecordInput&, const ReadOptions&, const FormatOptions&) const override;
};

}  // namespace korvex
