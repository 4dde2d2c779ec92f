#include "ui/lab/record_layout.h"

#include <QRegularExpression>

#include <string>
#include <vector>

#include "pulse/number_text.h"

namespace korvex {
namespace {

bool blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool isNumber(std::string_view field, bool decimalComma) {
    std::string text(field);
    if (decimalComma) {
        for (char& c : text) c = c == ',' ? '.' : c;
    }
    return parseStrictNumber(text).has_value();
}

// "time_s", "t (ms)", "Time[s]": the unit a name gives, if any.
std::optional<RecordTimeUnit> unitOfName(const QString& name) {
    static const QRegularExpression word(QStringLiteral("[A-Za-z]+"));
    std::optional<RecordTimeUnit> unit;
    for (const QRegularExpressionMatch& m : word.globalMatch(name)) {
        const QString w = m.captured().toLower();
        if (w == QLatin1String("ms") || w == QLatin1String("msec") ||
            w.startsWith(QLatin1String("millisec"))) {
            unit = RecordTimeUnit::Milliseconds;
        } else if (w == QLatin1String("s") || w == QLatin1String("sec") ||
                   w == QLatin1String("secs") || w.startsWith(QLatin1String("second"))) {
            unit = RecordTimeUnit::Seconds;
        }
    }
    return unit;
}

}  // namespace

RecordLayout peekRecordLayout(std::string_view text) {
    RecordLayout layout;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::string_view line;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string_view t = trimmed(line);
        if (!t.empty() && t.front() != '#' && t.front() != '%') break;
        line = {};
    }
    if (trimmed(line).empty()) return layout;
    layout.firstLine = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));

    // The reader's order: a semicolon if there is one, else a tab, else a
    // comma, else blanks.
    char separator = 0;
    for (char c : {';', '\t', ','}) {
        if (line.find(c) != std::string_view::npos) {
            separator = c;
            break;
        }
    }
    std::vector<std::string_view> fields;
    if (separator == 0) {
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && blank(line[i])) ++i;
            const std::size_t b = i;
            while (i < line.size() && !blank(line[i])) ++i;
            if (i > b) fields.push_back(line.substr(b, i - b));
        }
    } else {
        std::size_t b = 0;
        for (;;) {
            const std::size_t e = line.find(separator, b);
            fields.push_back(trimmed(line.substr(b, e == std::string_view::npos ? e : e - b)));
            if (e == std::string_view::npos) break;
            b = e + 1;
        }
    }
    layout.columns = static_cast<int>(fields.size());
    if (!isNumber(fields.front(), separator == ';')) {
        for (std::string_view f : fields) {
            layout.names << QString::fromUtf8(f.data(), static_cast<qsizetype>(f.size()));
        }
        layout.headerUnit = unitOfName(layout.names.front());
    }
    // " %14.6e \t %12.4e ": what korvex itself writes, times in seconds.
    static const QRegularExpression own(
        QStringLiteral("^ *[-+]?\\d\\.\\d{6}e[-+]\\d{3} \\t *[-+]?\\d\\.\\d{4}e[-+]\\d{3} $"));
    layout.ownFormat = own.match(layout.firstLine).hasMatch();
    return layout;
}

std::optional<ReadOptions> decidedOptions(const RecordLayout& layout) {
    if (layout.columns != 2) return std::nullopt;
    ReadOptions o;
    if (layout.ownFormat) return o;
    if (!layout.headerUnit) return std::nullopt;
    o.timeUnit = *layout.headerUnit;
    return o;
}

}  // namespace korvex
