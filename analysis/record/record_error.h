// What went wrong in reading a record, as data: the setting at fault, where
// in the file, and why. The command line words a setting with its flag, the
// window with its own label; the reason itself names no flag.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace korvex {

// A setting of ReadOptions, named as data so that the command line words it
// with its flags and the window with its own labels.
enum class ReadSetting {
    None,
    ValueColumn,   // which channels
    TimeColumn,    // where the times are
    TimeUnit,      // what the times count
    Rate,          // samples per second, where the file has no times
    Segment,       // which segment of a file that holds several
    RateVariable,  // a variable holding the rate or interval
    Scale,         // a factor on the stored values
    UnitLabel,     // the values' unit, where the file does not say
};

// How one side names a setting in a reason: "--column", "Value column".
using SettingWords = std::string (*)(ReadSetting);

// The plain words: "value column", "time column", "sample rate", ...
std::string settingName(ReadSetting setting);

// What went wrong and where. kind Unreadable -> exit 1 (OS reason), Input -> exit 2.
class RecordError : public std::runtime_error {
  public:
    enum class Kind { Input, Unreadable };

    // what(): "FILE:LINE:COLUMN: reason", LINE and COLUMN left out when 0,
    // "-" shown as "standard input". LINE counts physical lines from 1;
    // COLUMN counts characters of that line from 1 (a tab is one character,
    // the byte-order mark none), pointing at the field at fault. `reason`
    // may name settings by mention(); what() words them by settingName.
    RecordError(Kind kind, std::string file, std::size_t line, std::size_t column,
                std::string reason, ReadSetting setting = ReadSetting::None);

    // Where a reason names a setting: replaced by each side's words.
    static std::string mention(ReadSetting setting);

    Kind kind() const { return kind_; }
    ReadSetting setting() const { return setting_; }   // the setting at fault, or None
    const std::string& file() const { return file_; }  // as given
    std::size_t line() const { return line_; }
    std::size_t column() const { return column_; }
    std::string reason() const { return reasonWith(settingName); }
    // The reason and the whole message with the settings in `words`.
    std::string reasonWith(SettingWords words) const;
    std::string messageWith(SettingWords words) const;

  private:
    Kind kind_;
    ReadSetting setting_;
    std::string file_;
    std::size_t line_;
    std::size_t column_;
    std::string reason_;  // with the mentions in it
};

}  // namespace korvex
