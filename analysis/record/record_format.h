// A format of measured records: the files it claims, how it knows its own
// from their first bytes, and how it reads one into a Record. Adding a
// format is one class behind this interface and one line in the list of
// recordFormats().
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/record.h"
#include "analysis/record_reader.h"

namespace korvex {

// What a format makes of a file's first bytes.
struct Sniff {
    enum class Verdict { NotMine, Mine };
    Verdict verdict = Verdict::NotMine;
    // Where several formats claim a file, the highest reads it: 100 for a
    // signature (a magic number, a header line only this format writes), 10
    // for a guess from the text's shape, 1 for the file's name alone.
    int confidence = 0;
    // What the file leaves open, for the window to ask before reading.
    std::vector<ReadSetting> questions;

    static Sniff notMine() { return {}; }
    static Sniff mine(int confidence, std::vector<ReadSetting> questions = {}) {
        return {Verdict::Mine, confidence, std::move(questions)};
    }
};

// The input as a format reads it.
struct RecordInput {
    std::string path;        // as given; "-" for standard input
    std::string_view bytes;  // all of it, mapped or read; lives as long as the input
};

class RecordFormat {
  public:
    virtual ~RecordFormat() = default;
    virtual std::string_view name() const = 0;   // short and lower case: "text", "lvm", ...
    virtual std::string_view title() const = 0;  // for people: "LabVIEW measurement files"
    virtual std::vector<std::string_view> patterns() const = 0;  // "*.lvm"
    // `head` is up to kSniffBytes of the start of the input.
    virtual Sniff sniff(std::string_view head, std::string_view path) const = 0;
    // Throws RecordError.
    virtual Record read(const RecordInput& input, const ReadOptions& options) const = 0;
};

inline constexpr std::size_t kSniffBytes = 64 * 1024;

// Every format korvex reads, in the order they are asked.
std::span<const RecordFormat* const> recordFormats();

}  // namespace korvex
