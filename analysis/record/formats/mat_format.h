// MATLAB .mat files (v5 and v7.3): numeric vectors and N x k matrices as
// channels, timed by a time variable or column, a rate variable or a rate.
#pragma once

#include "analysis/record/formats/optioned_format.h"

namespace korvex {

// True where a rate variable's name says it holds the interval in seconds
// ("dt", "interval", "Ts", ...), not the rate in Hz.
bool namesAnInterval(std::string_view variable);

class MatFormat final : public OptionedFormat {
  public:
    MatFormat() : OptionedFormat("mat", "MATLAB MAT files", {"*.mat"}) {}
    Sniff sniff(std::string_view head, std::string_view path) const override;
    using OptionedFormat::read;
    Record read(const RecordInput&, const ReadOptions&, const FormatOptions&) const override;
};

}  // namespace korvex
