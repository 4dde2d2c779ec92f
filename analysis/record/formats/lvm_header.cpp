#include "analysis/record/formats/lvm_header.h"

#include <charconv>

namespace korvex::formats {

namespace {

constexpr std::string_view kEndOfHeader = "***End_of_Header***";

// The separator a header line uses before the file header has said which:
// the first tab or comma after the tag.
char guessSeparator(std::string_view line) {
    const std::size_t at = line.find_first_of("\t,");
    return at == std::string_view::npos ? '\t' : line[at];
}

std::string_view value(const std::vector<std::string_view>& fields) {
    return fields.size() > 1 ? fields[1] : std::string_view{};
}

}  // namespace

LvmFileHeader readLvmFileHeader(const RecordInput& input, LineCursor& cursor) {
    LvmFileHeader header;
    TextLine line;
    if (!cursor.next(line) || !line.text.starts_with("LabVIEW Measurement")) {
        inputError(input, line.number, 1,
                   "not a LabVIEW measurement file: its first line is not \"LabVIEW Measurement\"");
    }
    std::vector<std::string_view> fields;
    std::size_t separatorLine = 0;
    while (cursor.next(line)) {
        splitFields(line.text, guessSeparator(line.text), fields);
        const std::string_view tag = fields[0];
        const std::string_view v = value(fields);
        const std::size_t column = fields.size() > 1 ? columnOf(line.text, fields[1]) : 1;
        if (tag == kEndOfHeader) {
            if (header.separator == ',' && header.decimal == ',') {
                inputError(input, separatorLine, 1,
                           "the file header gives a comma both as the separator and as the "
                           "decimal mark");
            }
            return header;
        }
        if (tag == "Separator") {
            if (v == "Tab")
                header.separator = '\t';
            else if (v == "Comma")
                header.separator = ',';
            else
                inputError(input, line.number, column,
                           "unknown separator " + inQuotes(v) + " (LabVIEW writes Tab or Comma)");
            separatorLine = line.number;
        } else if (tag == "Decimal_Separator") {
            if (v != "." && v != ",") {
                inputError(input, line.number, column,
                           "unknown decimal separator " + inQuotes(v) + " (\".\" or \",\")");
            }
            header.decimal = v[0];
        } else if (tag == "X_Columns") {
            if (v == "No")
                header.xColumns = LvmXColumns::No;
            else if (v == "One")
                header.xColumns = LvmXColumns::One;
            else if (v == "Multi")
                header.xColumns = LvmXColumns::Multi;
            else
                inputError(input, line.number, column,
                           "unknown X_Columns " + inQuotes(v) + " (No, One or Multi)");
        } else if (tag == "Multi_Headings") {
            header.multiHeadings = v == "Yes";
        } else if (tag == "Time_Pref") {
            header.absoluteTime = v == "Absolute";
        }
    }
    inputError(input, line.number, 0,
               "the file header ends without its ***End_of_Header*** line (the file is cut short)");
}

bool startsLvmSegmentHeader(std::string_view line, const LvmFileHeader& file) {
    const std::string_view first = line.substr(0, line.find(file.separator));
    double ignored = 0;
    return !first.empty() && !readNumber(first, file.decimal, ignored);
}

namespace {

// The field of a header row that belongs to channel k: rows stand over the
// data columns, the tag over the first X column.
std::size_t fieldOfChannel(std::size_t k, LvmXColumns x) {
    return x == LvmXColumns::Multi ? 2 * k + 1 : k + 1;
}

std::size_t channelsIn(const std::vector<std::string_view>& fields, LvmXColumns x) {
    std::size_t n = fields.size();
    while (n > 0 && fields[n - 1].empty()) --n;
    if (n == 0) return 0;
    return x == LvmXColumns::Multi ? n / 2 : n - 1;  // less the tag
}

void readRow(const RecordInput& input, const TextLine& line,
             const std::vector<std::string_view>& fields, const LvmFileHeader& file,
             LvmSegmentHeader& segment) {
    const std::string_view tag = fields[0];
    if (tag == "Channels") {
        std::size_t n = 0;
        const std::string_view v = value(fields);
        const auto r = std::from_chars(v.data(), v.data() + v.size(), n);
        if (r.ec != std::errc() || r.ptr != v.data() + v.size() || n == 0) {
            inputError(input, line.number, fields.size() > 1 ? columnOf(line.text, v) : 0,
                       "Channels is not a count: " + inQuotes(v));
        }
        segment.channelCount = n;
        return;
    }
    const bool known = tag == "Samples" || tag == "X0" || tag == "Delta_X" ||
                       tag == "Y_Unit_Label" || tag == "X_Dimension";
    if (!known) return;  // Date, Time, Notes, Test_Name, ...: for people
    const std::size_t count = channelsIn(fields, file.xColumns);
    if (segment.channels.size() < count) segment.channels.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t f = fieldOfChannel(k, file.xColumns);
        if (f >= fields.size()) break;
        const std::string_view v = fields[f];
        const LvmCell cell{std::string(v), line.number, columnOf(line.text, v)};
        LvmChannelHeader& c = segment.channels[k];
        if (tag == "Y_Unit_Label") {
            c.unit = std::string(v);
            continue;
        }
        if (tag == "X_Dimension") {
            c.xDimension = std::string(v);
            c.xDimensionCell = cell;
            continue;
        }
        if (v.empty()) continue;
        double number = 0;
        if (!readNumber(v, file.decimal, number)) {
            inputError(input, line.number, cell.column,
                       std::string(tag) + " of channel " + std::to_string(k + 1) +
                           " is not a number: " + inQuotes(v));
        }
        if (tag == "Samples") {
            if (number < 0 || number != static_cast<double>(static_cast<std::size_t>(number))) {
                inputError(input, line.number, cell.column,
                           "Samples is not a count: " + inQuotes(v));
            }
            c.samples = static_cast<std::size_t>(number);
            c.samplesCell = cell;
        } else if (tag == "X0") {
            c.x0 = number;
        } else {
            if (!(number > 0)) {
                inputError(input, line.number, cell.column,
                           "Delta_X of channel " + std::to_string(k + 1) + " is not above zero");
            }
            c.deltaX = number;
            c.deltaXCell = cell;
        }
    }
}

void readNames(const TextLine& line, const LvmFileHeader& file, LvmSegmentHeader& segment) {
    std::vector<std::string_view> fields;
    splitFields(line.text, file.separator, fields);
    while (!fields.empty() && (fields.back().empty() || fields.back() == "Comment")) {
        fields.pop_back();
    }
    segment.namesLine = line.number;
    segment.xValueColumn = !fields.empty() && fields[0] == "X_Value";
    const std::size_t step = file.xColumns == LvmXColumns::Multi ? 2 : 1;
    const std::size_t first = file.xColumns == LvmXColumns::No && !segment.xValueColumn ? 0 : 1;
    for (std::size_t f = first; f < fields.size(); f += step) segment.names.emplace_back(fields[f]);
}

}  // namespace

LvmSegmentHeader readLvmSegmentHeader(const RecordInput& input, LineCursor& cursor,
                                      const TextLine& first, const LvmFileHeader& file) {
    LvmSegmentHeader segment;
    segment.firstLine = first.number;
    std::vector<std::string_view> fields;
    TextLine line = first;
    while (true) {
        splitFields(line.text, file.separator, fields);
        if (fields[0] == kEndOfHeader) break;
        readRow(input, line, fields, file, segment);
        if (!cursor.next(line)) {
            inputError(input, line.number, 0,
                       "the segment header that starts on line " + std::to_string(first.number) +
                           " ends without its ***End_of_Header*** line (the file is cut short)");
        }
    }
    LineCursor peek = cursor;
    if (peek.next(line) && startsLvmSegmentHeader(line.text, file)) {
        readNames(line, file, segment);
        cursor = peek;
    }
    return segment;
}

}  // namespace korvex::formats
