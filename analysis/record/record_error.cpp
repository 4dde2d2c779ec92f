#include "analysis/record/record_error.h"

#include <utility>

namespace korvex {

namespace {

constexpr char kMention = '\x1b';  // never in a reason's own text: control bytes are quoted

std::string composeMessage(const std::string& file, std::size_t line, std::size_t column,
                           const std::string& reason) {
    std::string s = file == "-" ? "standard input" : file;
    if (line > 0) {
        s += ':' + std::to_string(line);
        if (column > 0) s += ':' + std::to_string(column);
    }
    return s + ": " + reason;
}

std::string worded(const std::string& reason, SettingWords words) {
    std::string s;
    s.reserve(reason.size());
    for (std::size_t i = 0; i < reason.size(); ++i) {
        if (reason[i] == kMention && i + 1 < reason.size()) {
            s += words(static_cast<ReadSetting>(reason[++i] - 'A'));
        } else {
            s += reason[i];
        }
    }
    return s;
}

}  // namespace

std::string settingName(ReadSetting setting) {
    switch (setting) {
        case ReadSetting::ValueColumn:
            return "value column";
        case ReadSetting::TimeColumn:
            return "time column";
        case ReadSetting::TimeUnit:
            return "time unit";
        case ReadSetting::Rate:
            return "sample rate";
        case ReadSetting::Segment:
            return "segment";
        case ReadSetting::RateVariable:
            return "rate variable";
        case ReadSetting::Scale:
            return "scale";
        case ReadSetting::UnitLabel:
            return "unit";
        case ReadSetting::None:
            break;
    }
    return "setting";
}

RecordError::RecordError(Kind kind, std::string file, std::size_t line, std::size_t column,
                         std::string reason, ReadSetting setting)
    : std::runtime_error(composeMessage(file, line, column, worded(reason, settingName))),
      kind_(kind),
      setting_(setting),
      file_(std::move(file)),
      line_(line),
      column_(column),
      reason_(std::move(reason)) {}

std::string RecordError::mention(ReadSetting setting) {
    return {kMention, static_cast<char>('A' + static_cast<int>(setting))};
}

std::string RecordError::reasonWith(SettingWords words) const {
    return worded(reason_, words);
}

std::string RecordError::messageWith(SettingWords words) const {
    return composeMessage(file_, line_, column_, worded(reason_, words));
}

}  // namespace korvex
