#include "analysis/record/formats/text_fields.h"

#include <fast_float/fast_float.h>

#include <cmath>

namespace korvex::formats {

LineCursor::LineCursor(std::string_view bytes) : bytes_(bytes) {
    if (bytes_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
}

bool LineCursor::next(TextLine& line) {
    if (pos_ >= bytes_.size()) return false;
    std::size_t end = bytes_.find('\n', pos_);
    const std::size_t after = end == std::string_view::npos ? bytes_.size() : end + 1;
    if (end == std::string_view::npos) end = bytes_.size();
    std::string_view text = bytes_.substr(pos_, end - pos_);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    line = {text, ++number_};
    pos_ = after;
    return true;
}

void splitFields(std::string_view line, char separator, std::vector<std::string_view>& fields) {
    fields.clear();
    while (true) {
        const std::size_t at = line.find(separator);
        fields.push_back(line.substr(0, at));
        if (at == std::string_view::npos) return;
        line.remove_prefix(at + 1);
    }
}

bool readNumber(std::string_view field, char decimal, double& value) {
    const char* p = field.data();
    const char* end = p + field.size();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    while (end > p && (end[-1] == ' ' || end[-1] == '\t')) --end;
    if (p < end && *p == '+') ++p;
    if (p == end) return false;
    const auto r = fast_float::from_chars_advanced(
        p, end, value, fast_float::parse_options{fast_float::chars_format::general, decimal});
    return r.ec == std::errc() && r.ptr == end && std::isfinite(value);  // no inf or nan
}

std::size_t columnOf(std::string_view line, std::string_view field) {
    std::size_t column = 1;
    for (const char* p = line.data(); p < field.data() && p < line.data() + line.size(); ++p) {
        if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80) ++column;  // not a UTF-8 continuation
    }
    return column;
}

void inputError(const RecordInput& input, std::size_t line, std::size_t column,
                const std::string& reason) {
    throw RecordError(RecordError::Kind::Input, input.path, line, column, reason);
}

std::string inQuotes(std::string_view field) {
    std::string text(1, '"');
    text.append(field.substr(0, 40));
    if (field.size() > 40) text.append("...");
    text.push_back('"');
    return text;
}

}  // namespace korvex::formats
