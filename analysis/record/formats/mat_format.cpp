#include "analysis/record/formats/mat_format.h"

#include <algorithm>
#include <charconv>

#include "analysis/record/channel_choice.h"
#include "analysis/record/formats/mat_file.h"
#include "analysis/record/formats/text_fields.h"
#include "analysis/record/formats/uniform_time.h"

namespace korvex {

using namespace formats;

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return out;
}

bool namesTime(std::string_view variable) {
    const std::string n = lower(variable);
    return n == "t" || n == "time" || n == "times" || n == "t_s" || n == "time_s";
}

std::string shape(const MatVariable& v) {
    return v.kind + " " + std::to_string(v.rows) + "x" + std::to_string(v.columns);
}

std::string contents(const std::vector<MatVariable>& variables) {
    std::string list;
    for (const MatVariable& v : variables)
        list += (list.empty() ? "" : ", ") + v.name + " (" + shape(v) + ")";
    return list.empty() ? "no variables" : list;
}

const MatVariable* find(const std::vector<MatVariable>& variables, std::string_view name) {
    for (const MatVariable& v : variables) {
        if (v.name == name) return &v;
    }
    return nullptr;
}

// The channels a .mat file offers: every numeric variable of two samples or
// more, a matrix column by column ("data:2").
struct Offer {
    const MatVariable* variable;
    std::size_t column;
};

double intervalFromVariable(const RecordInput& input, const MatFile& file,
                            const std::string& name) {
    const MatVariable* v = find(file.variables(), name);
    if (v == nullptr || !v->numeric || v->rows * v->columns != 1) {
        inputError(input, 0, 0,
                   "the rate variable " + inQuotes(name) +
                       " is not a number in the file (it holds " + contents(file.variables()) +
                       ")");
    }
    const double value = file.columns(*v, {0})[0][0];
    if (!(value > 0))
        inputError(input, 0, 0, "the rate variable " + inQuotes(name) + " is not above zero");
    return namesAnInterval(name) ? value : 1.0 / value;
}

}  // namespace

bool namesAnInterval(std::string_view variable) {
    const std::string n = lower(variable);
    const std::string_view name = n;
    for (const std::string_view word : {"dt", "interval", "delta", "period", "step", "ts"}) {
        const bool first =
            name.starts_with(word) && (name.size() == word.size() || name[word.size()] == '_');
        const bool last = name.ends_with(word) && name.size() > word.size() &&
                          name[name.size() - word.size() - 1] == '_';
        if (first || last) return true;
    }
    return false;
}

Sniff MatFormat::sniff(std::string_view head, std::string_view path) const {
    if (head.starts_with("MATLAB 5.0 MAT-file") || head.starts_with("MATLAB 7.3 MAT-file")) {
        return Sniff::mine(100, {ReadSetting::ValueColumn, ReadSetting::RateVariable});
    }
    return path.ends_with(".mat") ? Sniff::mine(1) : Sniff::notMine();
}

Record MatFormat::read(const RecordInput& input, const ReadOptions& options,
                       const FormatOptions& format) const {
    const MatFile file(input);
    const std::vector<MatVariable>& variables = file.variables();
    std::optional<double> interval;
    if (!format.rateVariable.empty())
        interval = intervalFromVariable(input, file, format.rateVariable);
    else if (format.rateHz && *format.rateHz > 0)
        interval = 1.0 / *format.rateHz;
    const MatVariable* timeVariable = nullptr;
    for (const MatVariable& v : variables) {
        if (!interval && v.numeric && v.channels() == 1 && namesTime(v.name)) timeVariable = &v;
    }
    // A matrix's time column: as options.timeColumn says, or its first
    // column where nothing else gives the times and it steps evenly.
    std::size_t timeColumn = 0;  // from 1; 0 for none
    if (!options.timeColumn.empty() && options.timeColumn != "none") {
        const auto r =
            std::from_chars(options.timeColumn.data(),
                            options.timeColumn.data() + options.timeColumn.size(), timeColumn);
        if (r.ec != std::errc() || timeColumn == 0) {
            inputError(
                input, 0, 0,
                "the time column " + inQuotes(options.timeColumn) + " is not a number from 1");
        }
    }
    std::vector<Offer> offers;
    std::vector<std::string> names;
    for (const MatVariable& v : variables) {
        if (!v.numeric || v.samples() < 2 || &v == timeVariable || v.name == format.rateVariable)
            continue;
        for (std::size_t j = 0; j < v.channels(); ++j) {
            offers.push_back({&v, j});
            names.push_back(v.channels() == 1 ? v.name : v.name + ":" + std::to_string(j + 1));
        }
    }
    if (offers.empty()) {
        inputError(input, 0, 0,
                   "no numeric vector or matrix to read; the file holds " + contents(variables));
    }
    std::string choice = format.channels;
    if (const MatVariable* v = find(variables, choice)) {
        if (!v->numeric) {
            inputError(input, 0, 0,
                       "variable " + inQuotes(choice) + " is " + shape(*v) + ", not numbers");
        }
        if (v->channels() > 1)
            choice = choice + ":1-" + choice + ":" + std::to_string(v->channels());
    }
    std::vector<std::size_t> chosen;
    try {
        chosen = chooseChannels(choice, names);
    } catch (const ChannelChoiceError& e) {
        inputError(input, 0, 0, e.what());
    }
    Record record;
    record.source = input.path;
    record.format = std::string(name());
    SampleArray times;
    if (timeVariable) {
        times = file.columns(*timeVariable, {0})[0];
        record.notes.push_back("times from the variable " + timeVariable->name);
    }
    for (std::size_t at = 0; at < chosen.size();) {
        // The chosen columns of one variable come from one read of it.
        const MatVariable& v = *offers[chosen[at]].variable;
        std::vector<std::size_t> columns;
        std::vector<std::size_t> which;
        for (; at < chosen.size() && offers[chosen[at]].variable == &v; ++at) {
            columns.push_back(offers[chosen[at]].column);
            which.push_back(chosen[at]);
        }
        const bool matrixTime =
            !interval && !timeVariable && v.channels() > 1 && options.timeColumn != "none";
        const std::size_t tc = timeColumn ? timeColumn - 1 : 0;
        if (matrixTime) columns.push_back(tc);
        std::vector<SampleArray> read = file.columns(v, columns);
        SampleArray own;
        if (matrixTime) {
            own = std::move(read.back());
            read.pop_back();
            if (!timeColumn && uniformTime(own).firstStray) own.clear();  // not a time column
            if (!own.empty())
                record.notes.push_back("times from column " + std::to_string(tc + 1) + " of " +
                                       v.name);
        }
        for (std::size_t i = 0; i < read.size(); ++i) {
            if (matrixTime && !own.empty() && columns[i] == tc) continue;
            Channel& c = record.channels.emplace_back();
            c.name = names[which[i]];
            c.unit = format.unitLabel;
            c.values = std::move(read[i]);
            const SampleArray& t = !own.empty() ? own : times;
            if (interval) {
                c.intervalS = *interval;
            } else if (!t.empty()) {
                if (t.size() != c.values.size()) {
                    inputError(input, 0, 0,
                               "channel " + inQuotes(c.name) + " has " +
                                   std::to_string(c.values.size()) + " samples but its times " +
                                   std::to_string(t.size()));
                }
                const UniformTime u = uniformTime(t);
                if (u.firstStray) {
                    inputError(input, 0, 0,
                               "the times step unevenly at sample " +
                                   std::to_string(*u.firstStray + 1) +
                                   " (more than 1 % from the record's interval)");
                }
                c.startS = u.startS;
                c.intervalS = u.intervalS;
            } else {
                inputError(input, 0, 0,
                           "channel " + inQuotes(c.name) +
                               " has no times: name a rate variable or give the sample rate");
            }
        }
    }
    if (record.channels.empty()) inputError(input, 0, 0, "every channel chosen is a time column");
    return record;
}

}  // namespace korvex
