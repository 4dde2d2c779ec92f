// What the record reader's tests share: read options in one call, and a
// read's outcome as one line of text, or its error.
#pragma once

#include <charconv>
#include <optional>
#include <string>

#include "analysis/record_reader.h"

namespace korvex::test {

inline ReadOptions options(std::string value = "", std::string time = "", bool ms = false,
                           std::optional<double> rate = {}) {
    ReadOptions o;
    o.valueColumn = std::move(value);
    o.timeColumn = std::move(time);
    o.timeUnit = ms ? RecordTimeUnit::Milliseconds : RecordTimeUnit::Seconds;
    o.rateHz = rate;
    return o;
}

inline std::string shortest(double x) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
}

// The record in one line, every number in its shortest exact spelling; or
// the error message.
template <class Read>
std::string outcome(const Read& read) {
    try {
        const Record record = read();
        const Channel& r = record.channel();
        std::string s = r.name + " start " + shortest(r.startS) + " dt " + shortest(r.intervalS);
        if (!r.time.empty()) s += " t";
        for (double t : r.time) s += ' ' + shortest(t);
        s += " v";
        for (double v : r.values) s += ' ' + shortest(v);
        return s;
    } catch (const RecordError& e) {
        // The setting at fault as data; the reason names no flag.
        const std::string setting =
            e.setting() == ReadSetting::None ? "" : "(" + settingName(e.setting()) + ") ";
        return (e.kind() == RecordError::Kind::Unreadable ? "unreadable " : "") + setting +
               std::string(e.what());
    }
}

}  // namespace korvex::test
