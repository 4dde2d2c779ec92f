#include "analysis/record/text/columns.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace korvex::text {

namespace {

std::string mention(ReadSetting s) {
    return RecordError::mention(s);
}

bool isColumnNumber(const std::string& choice) {
    return !choice.empty() && std::all_of(choice.begin(), choice.end(), isDigit);
}

std::string lowered(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return r;
}

// The field index that `choice` picks (or `fallback`, counted from 1, when
// it is empty) and the name a message calls it. A name is copied only once
// it is known to be a column's, so that a huge first line costs no copy.
std::pair<std::size_t, std::string_view> pickColumn(const Source& src, ReadSetting setting,
                                                    const std::string& choice, std::size_t fallback,
                                                    const FirstLine& first) {
    const std::string option = mention(setting);
    const std::size_t fields = first.layout.fields;
    const std::size_t firstLine = first.layout.firstLine;
    static const std::vector<Field> none;
    const std::vector<Field>& header = first.header ? first.fields : none;
    std::size_t number = fallback;
    if (isColumnNumber(choice)) {
        number = 0;
        for (char c : choice) {
            number = number * 10 + static_cast<std::size_t>(c - '0');
            if (number > fields) break;  // no overflow; too large anyway
        }
        if (number == 0)
            src.failWhole(option + " " + choice + ": columns are counted from 1", setting);
    } else if (!choice.empty()) {
        if (header.empty()) {
            src.failLine(firstLine,
                         option + " " + quoted(choice) +
                             " names a column, but the file has no header line "
                             "(this first line holds numbers)",
                         setting);
        }
        std::vector<std::size_t> found;
        for (std::size_t i = 0; i < header.size(); ++i) {
            if (header[i].text == choice) found.push_back(i);
        }
        if (found.size() > 1) {
            src.failLine(firstLine,
                         option + " " + quoted(choice) + ": columns " +
                             std::to_string(found[0] + 1) + " and " + std::to_string(found[1] + 1) +
                             " have that name; pick one by its number",
                         setting);
        }
        if (found.empty()) {
            std::string reason =
                option + ": no column is named " + quoted(choice) + "; the columns are";
            std::string hint;
            for (std::size_t i = 0; i < header.size(); ++i) {
                reason += (i == 0 ? " " : ", ") + quoted(header[i].text);
                if (hint.empty() && lowered(header[i].text) == lowered(choice))
                    hint = " (names are matched with their case: " + quoted(header[i].text) + "?)";
            }
            src.failLine(firstLine, reason + hint, setting);
        }
        return {found[0], header[found[0]].text};
    }
    if (number > fields) {
        std::string reason = option + " " + std::to_string(number) + ": the first line has only " +
                             std::to_string(fields) + (fields == 1 ? " field" : " fields");
        if (fields == 1 && choice.empty()) {
            reason += "; a record without a time column needs " + mention(ReadSetting::TimeColumn) +
                      " none " + mention(ReadSetting::Rate) + " HZ";
        }
        src.failLine(firstLine, reason, setting);
    }
    return {number - 1, header.empty() ? std::string_view{} : header[number - 1].text};
}

}  // namespace

void checkOptions(const std::string& source, const ReadOptions& o) {
    const auto fail = [&source](const std::string& reason, ReadSetting setting) {
        throw RecordError(RecordError::Kind::Input, source, 0, 0, reason, setting);
    };
    const std::string timeColumn = mention(ReadSetting::TimeColumn);
    const std::string rate = mention(ReadSetting::Rate);
    if (o.timeColumn == "none") {
        if (!o.rateHz) fail(timeColumn + " none needs " + rate + " HZ", ReadSetting::Rate);
        if (!std::isfinite(*o.rateHz) || !(*o.rateHz > 0) || !std::isfinite(1.0 / *o.rateHz))
            fail(
                rate + " " + shortNumber(*o.rateHz) + ": a sample rate is a positive finite number",
                ReadSetting::Rate);
        if (o.timeUnit != RecordTimeUnit::Seconds)
            fail(mention(ReadSetting::TimeUnit) + " needs a time column", ReadSetting::TimeUnit);
    } else if (o.rateHz) {
        fail(rate + " is only for records without a time column (" + timeColumn + " none)",
             ReadSetting::Rate);
    }
}

std::string pickColumns(const Source& src, const FirstLine& first, const ReadOptions& options,
                        Layout& layout) {
    const bool timed = options.timeColumn != "none";
    if (timed) {
        layout.timeField =
            pickColumn(src, ReadSetting::TimeColumn, options.timeColumn, 1, first).first;
        layout.timeScale = options.timeUnit == RecordTimeUnit::Milliseconds ? 0.001 : 1.0;
    }
    const auto [valueField, name] =
        pickColumn(src, ReadSetting::ValueColumn, options.valueColumn, timed ? 2 : 1, first);
    if (valueField == layout.timeField) {
        src.failLine(layout.firstLine,
                     mention(ReadSetting::ValueColumn) + " and " +
                         mention(ReadSetting::TimeColumn) + " both pick column " +
                         std::to_string(valueField + 1),
                     ReadSetting::ValueColumn);
    }
    layout.valueField = valueField;
    return name.empty() ? std::to_string(valueField + 1) : std::string(name);
}

}  // namespace korvex::text
