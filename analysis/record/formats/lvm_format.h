// LabVIEW measurement files (.lvm): text with a file header, then segments,
// each with its own header and a block of channels in columns.
#pragma once

#include "analysis/record/formats/optioned_format.h"

namespace korvex {

class LvmFormat final : public OptionedFormat {
  public:
    LvmFormat() : OptionedFormat("lvm", "LabVIEW measurement files", {"*.lvm"}) {}
    Sniff sniff(std::string_view head, std::string_view path) const override;
    using OptionedFormat::read;
    Record read(const RecordInput&, const ReadOptions&, const FormatOptions&) const override;
};

}  // namespace korvex
