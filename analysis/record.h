// A uniformly sampled record: what the analyses take, whether it was
// generated here or read from a measured file.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

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

// A record that owns its samples.
struct Record {
    std::string source;        // where it came from, for messages ("-" for standard input)
    std::string column;        // the value column: its header name, or its number
    std::vector<double> time;  // seconds as the file gives them; empty without a time column
    std::vector<double> values;
    double startS = 0.0;
    double intervalS = 0.0;

    std::size_t size() const { return values.size(); }
    RecordView view() const { return {time, values, startS, intervalS}; }
};

}  // namespace korvex
