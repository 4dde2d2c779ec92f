// The two header layouts are as public examples show them: start and
// increment, e.g. "X,CH1,CH2,Start,Increment," over
// "Sequence,Volt,Volt,-1.200000e-03,2.000000e-06" with a sample number in
// the first column; and names over units, e.g. "x-axis,TX1" over
// "second,Volt" (https://github.com/carlos-jenkins/csv2vcd/issues/3).
#include "analysis/record/formats/scope_csv_format.h"

#include "analysis/record/channel_choice.h"
#include "analysis/record/formats/text_fields.h"
#include "analysis/record/formats/uniform_time.h"

namespace korvex {

using namespace formats;

namespace {

enum class Layout { StartIncrement, NamesOverUnits };

std::string_view firstLine(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return text.substr(0, text.find_first_of("\r\n"));
}

bool isStartIncrement(std::string_view line) {
    return line.starts_with("X,") && line.find(",Start,Increment") != std::string_view::npos;
}

std::size_t indexOf(const std::vector<std::string_view>& fields, std::string_view name) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] == name) return i;
    }
    return fields.size();
}

struct Header {
    Layout layout = Layout::StartIncrement;
    std::vector<std::string> names;
    std::vector<std::string> units;
    double start = 0.0;
    double increment = 0.0;
    std::size_t namesLine = 1;
};

Header readHeader(const RecordInput& input, LineCursor& cursor) {
    TextLine names;
    TextLine units;
    if (!cursor.next(names) || !cursor.next(units)) {
        inputError(input, names.number + 1, 0, "the two header lines are cut short");
    }
    std::vector<std::string_view> n;
    std::vector<std::string_view> u;
    splitFields(names.text, ',', n);
    splitFields(units.text, ',', u);
    while (!n.empty() && n.back().empty()) n.pop_back();
    Header h;
    h.layout = isStartIncrement(names.text) ? Layout::StartIncrement : Layout::NamesOverUnits;
    std::size_t last = n.size();
    if (h.layout == Layout::StartIncrement) {
        last = indexOf(n, "Start");
        const std::size_t inc = indexOf(n, "Increment");
        for (const std::size_t i : {last, inc}) {
            double& into = i == last ? h.start : h.increment;
            if (i >= u.size() || !readNumber(u[i], '.', into)) {
                inputError(input, units.number, i < u.size() ? columnOf(units.text, u[i]) : 0,
                           std::string(i == last ? "Start" : "Increment") +
                               " is not a number: " + inQuotes(i < u.size() ? u[i] : ""));
            }
        }
        if (!(h.increment > 0)) {
            inputError(input, units.number, columnOf(units.text, u[inc]),
                       "Increment is not above zero");
        }
    } else {
        const std::string_view t = u.empty() ? "" : u[0];
        if (t != "second" && t != "s" && t != "Second") {
            inputError(input, units.number, 1,
                       "the time column's unit " + inQuotes(t) + " is not second");
        }
    }
    for (std::size_t i = 1; i < last; ++i) {
        h.names.emplace_back(n[i]);
        h.units.emplace_back(i < u.size() ? u[i] : "");
    }
    if (h.names.empty()) inputError(input, names.number, 0, "the header names no channel");
    return h;
}

}  // namespace

Sniff ScopeCsvFormat::sniff(std::string_view head, std::string_view) const {
    const std::string_view first = firstLine(head);
    if (isStartIncrement(first)) return Sniff::mine(100, {ReadSetting::ValueColumn});
    if (first.starts_with("x-axis,")) {
        const std::string_view rest = head.substr(head.find(first) + first.size());
        const std::size_t next = rest.find_first_not_of("\r\n");
        if (next != std::string_view::npos && rest.substr(next).starts_with("second,")) {
            return Sniff::mine(100, {ReadSetting::ValueColumn});
        }
    }
    return Sniff::notMine();
}

Record ScopeCsvFormat::read(const RecordInput& input, const ReadOptions&,
                            const FormatOptions& options) const {
    LineCursor cursor(input.bytes);
    const Header h = readHeader(input, cursor);
    std::vector<std::size_t> chosen;
    try {
        chosen = chooseChannels(options.channels, h.names);
    } catch (const ChannelChoiceError& e) {
        inputError(input, h.namesLine, 0, e.what());
    }
    Record record;
    record.source = input.path;
    record.format = std::string(name());
    record.channels.resize(chosen.size());
    const std::size_t reserve = input.bytes.size() / (8 * (h.names.size() + 1));
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        record.channels[i].name = h.names[chosen[i]];
        record.channels[i].unit =
            options.unitLabel.empty() ? h.units[chosen[i]] : options.unitLabel;
        record.channels[i].values.reserve(reserve);
    }
    SampleArray first;  // the first column: sample numbers or times
    first.reserve(reserve);
    std::vector<std::string_view> fields;
    TextLine line;
    const std::size_t dataLine = cursor.nextNumber();
    std::size_t blank = 0;  // rows are counted from dataLine: no blank line between them
    while (cursor.next(line)) {
        if (line.text.empty()) {
            blank = blank ? blank : line.number;
            continue;
        }
        if (blank) inputError(input, blank, 0, "a blank line inside the data");
        splitFields(line.text, ',', fields);
        double v = 0;
        for (std::size_t i = 0; i <= chosen.size(); ++i) {
            const std::size_t f = i == 0 ? 0 : chosen[i - 1] + 1;
            const std::string_view field = f < fields.size() ? fields[f] : std::string_view{};
            if (!readNumber(field, '.', v)) {
                inputError(input, line.number, f < fields.size() ? columnOf(line.text, field) : 0,
                           field.empty() ? "field " + std::to_string(f + 1) + " is missing"
                                         : "field " + std::to_string(f + 1) +
                                               " is not a number: " + inQuotes(field));
            }
            (i == 0 ? first : record.channels[i - 1].values).push_back(v);
        }
    }
    if (first.size() < 2) inputError(input, dataLine, 0, "fewer than two samples");
    double start = 0.0;
    double interval = 0.0;
    if (h.layout == Layout::StartIncrement) {
        for (std::size_t i = 1; i < first.size(); ++i) {
            if (first[i] != first[i - 1] + 1.0) {
                inputError(input, dataLine + i, 1, "the sample number does not follow the last");
            }
        }
        start = h.start + first[0] * h.increment;
        interval = h.increment;
    } else {
        const UniformTime u = uniformTime(first);
        if (u.firstStray) {
            inputError(input, dataLine + *u.firstStray, 1,
                       u.intervalS > 0 ? "the time step here strays more than 1 % from the "
                                         "record's interval"
                                       : "the times do not increase");
        }
        start = u.startS;
        interval = u.intervalS;
    }
    for (Channel& c : record.channels) {
        c.startS = start;
        c.intervalS = interval;
    }
    return record;
}

}  // namespace korvex
