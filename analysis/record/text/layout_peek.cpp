#include "analysis/record/text/layout_peek.h"

#include "analysis/record/text/first_line.h"

namespace korvex {

namespace {

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// The unit the words of a name give, the last one that gives one.
std::optional<RecordTimeUnit> unitOfName(std::string_view name) {
    std::optional<RecordTimeUnit> unit;
    std::size_t i = 0;
    while (i < name.size()) {
        std::string word;
        for (; i < name.size(); ++i) {
            char c = name[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c < 'a' || c > 'z') break;
            word += c;
        }
        if (word.empty()) {
            ++i;
        } else if (word == "ms" || word == "msec" || startsWith(word, "millisec")) {
            unit = RecordTimeUnit::Milliseconds;
        } else if (word == "s" || word == "sec" || word == "secs" || startsWith(word, "second")) {
            unit = RecordTimeUnit::Seconds;
        }
    }
    return unit;
}

// " %14.6e \t %12.4e ": what korvex itself writes.
bool isOwnLine(std::string_view line) {
    const auto number = [&line](std::size_t intDigits, std::size_t fracDigits) {
        while (startsWith(line, " ")) line.remove_prefix(1);
        if (startsWith(line, "-") || startsWith(line, "+")) line.remove_prefix(1);
        const std::size_t size = intDigits + 1 + fracDigits + 5;
        if (line.size() < size || line[intDigits] != '.' || line[size - 5] != 'e' ||
            (line[size - 4] != '-' && line[size - 4] != '+'))
            return false;
        for (std::size_t k = 0; k < size; ++k) {
            const bool digit = k < intDigits || (k > intDigits && k < size - 5) || k > size - 4;
            if (digit && !isDigit(line[k])) return false;
        }
        line.remove_prefix(size);
        return true;
    };
    if (!number(1, 6) || !startsWith(line, " \t")) return false;
    line.remove_prefix(2);
    return number(1, 4) && line == " ";
}

}  // namespace

TextLayoutPeek peekTextLayout(std::string_view head) {
    TextLayoutPeek peek;
    const std::string name = "peek";
    text::Source src{head, head.data(), &name};
    if (startsWith(src.text, "\xEF\xBB\xBF")) src.text.remove_prefix(3);
    text::FirstLine first;
    try {
        first = text::readFirstLine(src);
    } catch (const RecordError&) {
        // No such line, or a header line that mixes names and numbers: the
        // reader says which when it reads the file.
        return peek;
    }
    peek.found = true;
    peek.firstLine.assign(first.begin, first.end);
    peek.separator = first.layout.separatorChar;
    peek.columns = first.fields.size();
    if (first.header) {
        for (const text::Field& f : first.fields) peek.names.emplace_back(f.text);
        peek.timeUnit = unitOfName(peek.names.front());
    }
    peek.ownFormat = isOwnLine(peek.firstLine);
    if (peek.columns == 1) {
        peek.open = {ReadSetting::TimeColumn, ReadSetting::Rate};
    } else {
        if (peek.columns > 2) peek.open.push_back(ReadSetting::ValueColumn);
        if (!peek.timeUnit && !peek.ownFormat) peek.open.push_back(ReadSetting::TimeUnit);
    }
    return peek;
}

}  // namespace korvex
