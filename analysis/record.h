// A uniformly sampled record: what the analyses take, whether it was
// generated here or read from a measured file.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "analysis/record/sample_array.h"

namespace korvex {

// A view of samples that live elsewhere. Without times of its own, sample i
// is at startS + i x intervalS.
struct RecordView {
    std::span<const double> time;  // seconds, one per value, or empty
    std::span<const double> values;
    double startS = 0.0;
    double intervalS = 0.0;

    std::size_t size() const { return values.size(); }
    double timeAt(std::size_t i) const {
        return time.empty() ? startS + static_cast<double>(i) * intervalS : time[i];
    }
};

// One channel of a record, owning its samples.
struct Channel {
    std::string name;  // as the file names it: a header, a variable, or a column number
    std::string unit;  // as the file gives it; empty when it does not say
    SampleArray time;  // seconds as the file gives them; empty without a time column
    SampleArray values;
    double startS = 0.0;
    double intervalS = 0.0;

    std::size_t size() const { return values.size(); }
    RecordView view() const { return {time, values, startS, intervalS}; }
};

// What was read from one file: the channels asked for, each at its own
// interval, and notes for people on how the file was read.
struct Record {
    std::string source;  // where it came from, for messages ("-" for standard input)
    std::string format;  // the name of the format that read it
    std::vector<Channel> channels;
    std::vector<std::string> notes;

    // The first channel: what the commands that take one channel use.
    const Channel& channel() const { return channels.front(); }
};

}  // namespace korvex
