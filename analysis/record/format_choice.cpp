#include "analysis/record/format_choice.h"

namespace korvex {

std::string formatsText(std::span<const RecordFormat* const> formats) {
    std::string text;
    for (const RecordFormat* f : formats) {
        text += (text.empty() ? "" : ", ") + std::string(f->title()) + " (";
        const std::vector<std::string_view> patterns = f->patterns();
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            text += (i ? ", " : "") + std::string(patterns[i]);
        }
        text += ")";
    }
    return text;
}

const RecordFormat& chooseRecordFormat(const RecordInput& input,
                                       std::span<const RecordFormat* const> formats) {
    const std::string_view head = input.bytes.substr(0, kSniffBytes);
    const RecordFormat* best = nullptr;
    int confidence = 0;
    for (const RecordFormat* f : formats) {
        const Sniff s = f->sniff(head, input.path);
        if (s.verdict == Sniff::Verdict::Mine && s.confidence > confidence) {
            best = f;
            confidence = s.confidence;
        }
    }
    const std::size_t nul = head.find('\0');
    if (best != nullptr && (confidence >= 10 || nul == std::string_view::npos)) return *best;
    const std::string what = nul != std::string_view::npos
                                 ? "not a record korvex reads: a NUL byte at byte " +
                                       std::to_string(nul + 1) + " (binary data, or text in UTF-16)"
                                 : "not a record korvex reads";
    throw RecordError(RecordError::Kind::Input, input.path, 0, 0,
                      what + "; korvex reads " + formatsText(formats));
}

}  // namespace korvex
