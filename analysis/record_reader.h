// Reading a measured record: a uniformly sampled time history in a text
// file, strictly, quickly and the same way under every C locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/record.h"
#include "analysis/record/record_error.h"

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
    // Formats of several segments, variables or unscaled values:
    std::string segment;       // "" the first; a number from 1; or "all"
    std::string rateVariable;  // a variable holding the rate (Hz) or interval (s)
    double scale = 1.0;        // a factor on values stored without one
    std::string unitLabel;     // the values' unit where the file does not say
};

// How far a time step may stray from the record's interval, as a fraction
// of the interval.
inline constexpr double kIntervalTolerance = 0.01;

// Reads the file at `path`, or standard input for "-", by the format that
// claims its first bytes. A regular file is mapped where the system allows.
// Throws RecordError.
Record readRecord(const std::string& path, const ReadOptions& options);

// The same for text already in memory; `source` names it in messages.
Record parseRecord(std::string_view text, const std::string& source, const ReadOptions& options);

namespace detail {

// Which parsers read the lines. Plain: field by field, on one thread; what
// the others must reproduce exactly. Templates: also the line templates,
// digits read eight at a time, on ReadOptions::threads. WideTemplates: the
// same with the processor's 32-byte vectors where it has them (what
// parseRecord does).
// The environment variable KORVEX_READ_PATH=plain|templates|wide forces one
// for readRecord and parseRecord, so that tests run each on any machine.
enum class ReadPath { Plain, Templates, WideTemplates };
ReadPath readPathFromEnvironment();
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
