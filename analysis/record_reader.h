// Reading a measured record: a uniformly sampled time history in a text
// file, strictly, quickly and the same way under every C locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "analysis/record.h"

namespace korvex {

enum class RecordTimeUnit { Seconds, Milliseconds };

struct ReadOptions {
    // "" = default (2, or 1 with no time column); a number counted from 1,
    // or a header name.
    std::string valueColumn;
    std::string timeColumn;  // "" = default (1); a number, a name, or "none"
    RecordTimeUnit timeUnit = RecordTimeUnit::Seconds;
    std::optional<double> rateHz;  // required with timeColumn "none", refused otherwise
    unsigned threads = 0;          // 0: every core
};

// How far a time step may stray from the record's interval, as a fraction
// of the interval.
inline constexpr double kIntervalTolerance = 0.01;

// What went wrong and where. kind Unreadable -> exit 1 (OS reason), Input -> exit 2.
class RecordError : public std::runtime_error {
  public:
    enum class Kind { Input, Unreadable };

    // what(): "FILE:LINE:COLUMN: reason", LINE and COLUMN left out when 0,
    // "-" shown as "standard input". LINE counts physical lines from 1;
    // COLUMN counts characters of that line from 1 (a tab is one character,
    // the byte-order mark none), pointing at the field at fault.
    RecordError(Kind kind, std::string file, std::size_t line, std::size_t column,
                std::string reason);

    Kind kind() const { return kind_; }
    const std::string& file() const { return file_; }  // as given
    std::size_t line() const { return line_; }
    std::size_t column() const { return column_; }
    const std::string& reason() const { return reason_; }

  private:
    Kind kind_;
    std::string file_;
    std::size_t line_;
    std::size_t column_;
    std::string reason_;
};

// Reads the file at `path`, or standard input for "-". A regular file is
// mapped where the system allows. Throws RecordError.
Record readRecord(const std::string& path, const ReadOptions& options);

// The same for text already in memory; `source` names it in messages.
Record parseRecord(std::string_view text, const std::string& source, const ReadOptions& options);

namespace detail {

// Which parsers read the lines. Plain: field by field, on one thread; what
// the others must reproduce exactly. Templates: also the line templates,
// digits read eight at a time, on ReadOptions::threads. WideTemplates: the
// same with the processor's 32-byte vectors where it has them (what
// parseRecord does).
enum class ReadPath { Plain, Templates, WideTemplates };
Record parseRecordBy(std::string_view text, const std::string& source, const ReadOptions& options,
                     ReadPath path);

// One bit per byte of line[0 .. 16 x blocks), blocks 1 to 4: set where the
// byte equals the pattern's, or is an ASCII digit where `digits` is not 0.
std::uint64_t matchBytes(const char* line, const char* pattern, const char* digits,
                         unsigned blocks);
std::uint64_t matchBytesPortable(const char* line, const char* pattern, const char* digits,
                                 unsigned blocks);

// Newlines in [begin, end) as each path counts them, and by a plain loop.
std::size_t countNewlines(const char* begin, const char* end, ReadPath path);
std::size_t countNewlinesPortable(const char* begin, const char* end);

}  // namespace detail

}  // namespace korvex
