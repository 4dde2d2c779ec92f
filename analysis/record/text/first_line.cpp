#include "analysis/record/text/first_line.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace korvex::text {

std::vector<Field> splitLine(const Layout& layout, const char* p, const char* lineEnd) {
    std::vector<Field> fields;
    if (layout.separator == Separator::Blanks) {
        while (true) {
            while (p < lineEnd && isBlank(*p)) ++p;
            if (p == lineEnd) break;
            const char* b = p;
            while (p < lineEnd && !isBlank(*p)) ++p;
            fields.push_back({b, {b, static_cast<std::size_t>(p - b)}});
        }
        return fields;
    }
    while (true) {
        while (p < lineEnd && isPad(*p, layout)) ++p;
        const std::string_view text = fieldText(layout, p, lineEnd);
        fields.push_back({p, text});
        p += text.size();
        while (p < lineEnd && *p != layout.separatorChar) ++p;
        if (p == lineEnd) break;
        ++p;
    }
    return fields;
}

namespace {

// Numbers between tabs and spaces mixed ("0 \t1\t 2"): blank-separated
// text, in which any run of blanks is one separator. A line with names
// keeps its tabs, which may separate names with blanks in them.
bool mixedBlanks(const char* begin, const char* end) {
    if (std::find(begin, end, ' ') == end) return false;
    Layout blanks;
    const std::vector<Field> fields = splitLine(blanks, begin, end);
    return std::all_of(fields.begin(), fields.end(),
                       [](const Field& f) { return isWholeNumber(f.text, false); });
}

}  // namespace

FirstLine readFirstLine(const Source& src) {
    const char* const textEnd = src.text.data() + src.text.size();
    FirstLine line;
    const char* first = src.text.data();
    const char* firstEnd = nullptr;
    const char* afterFirst = nullptr;
    for (;;) {
        if (first == textEnd) src.failWhole("no samples: only comments and blank lines");
        const char* nl = static_cast<const char*>(
            std::memchr(first, '\n', static_cast<std::size_t>(textEnd - first)));
        afterFirst = nl != nullptr ? nl + 1 : textEnd;
        firstEnd = nl != nullptr ? nl : textEnd;
        if (firstEnd > first && firstEnd[-1] == '\r') --firstEnd;
        const char* q = first;
        while (q < firstEnd && isBlank(*q)) ++q;
        if (q < firstEnd && *q != '#' && *q != '%') break;
        first = afterFirst;
    }
    // Lines that end in CR alone read as one line: say so rather than
    // report its second number as a stray field.
    const char* cr = static_cast<const char*>(
        std::memchr(first, '\r', static_cast<std::size_t>(firstEnd - first)));
    if (cr != nullptr && cr + 1 < textEnd && cr[1] != '\n') {
        src.failLine(src.lineOf(first),
                     "the file's lines end in CR only (old Mac text); korvex reads lines that "
                     "end in LF or CR LF");
    }
    Layout& layout = line.layout;
    const std::string_view firstText(first, static_cast<std::size_t>(firstEnd - first));
    if (firstText.find(';') != std::string_view::npos) {
        layout.separator = Separator::Semicolon;
    } else if (firstText.find('\t') != std::string_view::npos) {
        layout.separator = Separator::Tab;
    } else if (firstText.find(',') != std::string_view::npos) {
        layout.separator = Separator::Comma;
    }
    const char separatorChars[] = {0, '\t', ',', ';'};
    layout.separatorChar = separatorChars[static_cast<int>(layout.separator)];
    layout.decimalComma = layout.separator == Separator::Semicolon;
    layout.firstLine = src.lineOf(first);

    std::vector<Field> firstFields = splitLine(layout, first, firstEnd);
    if (layout.separator == Separator::Tab && mixedBlanks(first, firstEnd)) {
        layout.separator = Separator::Blanks;
        layout.separatorChar = 0;
        firstFields = splitLine(layout, first, firstEnd);
    }
    layout.fields = firstFields.size();
    if (firstFields[0].text.empty()) src.fail(firstFields[0].begin, "field 1 is empty");
    if (!isWholeNumber(firstFields[0].text, layout.decimalComma)) {
        for (std::size_t i = 0; i < firstFields.size(); ++i) {
            const Field& f = firstFields[i];
            if (f.text.empty())
                src.fail(f.begin,
                         "field " + std::to_string(i + 1) + " of the header line is empty");
            if (isWholeNumber(f.text, layout.decimalComma)) {
                src.fail(f.begin, "field " + std::to_string(i + 1) + ": " + quoted(f.text) +
                                      " is a number, but field 1 names a column: a header line "
                                      "names every column");
            }
        }
        line.header = true;
    }
    line.begin = first;
    line.end = firstEnd;
    line.after = afterFirst;
    line.fields = std::move(firstFields);
    return line;
}

}  // namespace korvex::text
