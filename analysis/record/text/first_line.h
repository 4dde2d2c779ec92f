// The text's first line that is not blank or a comment: it sets the
// separator and the number of fields, and is the header or the first sample.
// Also where messages point: lines and character columns of the text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/record/text/fields.h"
#include "analysis/record_reader.h"

namespace korvex::text {

struct Field {
    const char* begin;
    std::string_view text;
};

std::vector<Field> splitLine(const Layout& layout, const char* p, const char* lineEnd);

// The text as messages see it.
struct Source {
    std::string_view text;    // after any byte-order mark
    const char* origin;       // the first byte, mark included
    const std::string* name;  // as given

    std::size_t lineOf(const char* at) const {
        return 1 + detail::countNewlines(origin, at, detail::ReadPath::Plain);
    }
    const char* lineStart(const char* at) const {
        const char* b = text.data();
        while (at > b && at[-1] != '\n') --at;
        return at;
    }
    // 1-based characters of UTF-8 text before `at` in its line.
    std::size_t columnOf(const char* at) const {
        std::size_t column = 1;
        for (const char* c = lineStart(at); c < at; ++c) {
            if ((static_cast<unsigned char>(*c) & 0xC0) != 0x80) ++column;
        }
        return column;
    }
    [[noreturn]] void fail(const char* at, std::string reason,
                           ReadSetting setting = ReadSetting::None) const {
        throw RecordError(RecordError::Kind::Input, *name, lineOf(at), columnOf(at),
                          std::move(reason), setting);
    }
    [[noreturn]] void failLine(std::size_t line, std::string reason,
                               ReadSetting setting = ReadSetting::None) const {
        throw RecordError(RecordError::Kind::Input, *name, line, 0, std::move(reason), setting);
    }
    [[noreturn]] void failWhole(std::string reason, ReadSetting setting = ReadSetting::None) const {
        throw RecordError(RecordError::Kind::Input, *name, 0, 0, std::move(reason), setting);
    }
};

struct FirstLine {
    const char* begin = nullptr;
    const char* end = nullptr;    // before its line end
    const char* after = nullptr;  // the next line
    Layout layout;                // separator, fields, firstLine
    std::vector<Field> fields;
    bool header = false;  // the fields name the columns
};

// Throws RecordError where the text holds no such line, or a header line
// that mixes names and numbers.
FirstLine readFirstLine(const Source& src);

}  // namespace korvex::text
