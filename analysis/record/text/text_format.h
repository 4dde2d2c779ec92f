// Text records: columns of numbers, one sample a line, separated by blanks,
// tabs, commas or semicolons, with an optional header line. The fallback
// for any input that is text.
#pragma once

#include "analysis/record/record_format.h"

namespace korvex::text {

class TextFormat final : public RecordFormat {
  public:
    std::string_view name() const override { return "text"; }
    std::string_view title() const override { return "text records (columns of numbers)"; }
    std::vector<std::string_view> patterns() const override;
    // Mine, as a guess, unless the first line holds a NUL byte, which no
    // text record does (binary data, or text in UTF-16); a NUL further on
    // is a fault the reader names by its line.
    Sniff sniff(std::string_view head, std::string_view path) const override;
    Record read(const RecordInput& input, const ReadOptions& options) const override;
};

// One channel from text by the given read path; notes for people on how
// it was read go to `notes`.
Channel readTextChannel(std::string_view input, const std::string& source,
                        const ReadOptions& options, detail::ReadPath path,
                        std::vector<std::string>& notes);

}  // namespace korvex::text
