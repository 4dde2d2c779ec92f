// What the text formats (LabVIEW measurement files, oscilloscope exports)
// share: lines with their numbers, fields, locale-proof numbers, and errors
// that point at file:line:column.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/record/record_format.h"

namespace korvex::formats {

struct TextLine {
    std::string_view text;   // without its line end
    std::size_t number = 0;  // counted from 1
};

// Walks the lines of a text, skipping a leading byte-order mark and
// taking "\r\n", "\n" and a final line without an end alike.
class LineCursor {
  public:
    explicit LineCursor(std::string_view bytes);
    bool next(TextLine& line);
    std::string_view rest() const { return bytes_.substr(pos_); }
    std::size_t nextNumber() const { return number_ + 1; }

  private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

// Splits `line` at `separator` into `fields` (cleared first).
void splitFields(std::string_view line, char separator, std::vector<std::string_view>& fields);

// The whole field, blanks around it allowed, as a finite number with
// `decimal` as its decimal mark; false where it is anything else.
bool readNumber(std::string_view field, char decimal, double& value);

// The column (characters from 1) at which `field`, a view into `line`, starts.
std::size_t columnOf(std::string_view line, std::string_view field);

// An error in the input's content (exit 2).
[[noreturn]] void inputError(const RecordInput& input, std::size_t line, std::size_t column,
                             const std::string& reason);

// The field as people read it in a message.
std::string inQuotes(std::string_view field);

}  // namespace korvex::formats
