// Small files of each format a lab has, written by the tests themselves from
// the formats' public descriptions (LVM, oscilloscope CSV, WAV) or with
// matio's own writer (.mat).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/record/format_options.h"
#include "analysis/record/record_format.h"

namespace korvex::fixtures {

struct Series {
    std::string name;
    std::string unit;
    double startS = 0.0;
    double intervalS = 1.0 / 51200;
    std::vector<double> values;
};

// Shortest exact spelling.
std::string number(double x);

struct LvmLayout {
    char separator = '\t';
    char decimal = '.';
    std::string xColumns = "One";  // No, One, Multi
    bool deltaX = true;            // the segment header gives X0 and Delta_X
    bool samples = true;           // ... and Samples
};

// One segment header and data block per element of `segments`; the X column
// printed to six decimals, as LabVIEW does; rows end in a separator, the
// names row in "Comment"; a short channel's cells are left empty.
std::string lvmFile(const std::vector<std::vector<Series>>& segments, const LvmLayout& layout = {});

// "X,CH1,...,Start,Increment" over "Sequence,Volt,...,t0,dt", then numbered rows.
std::string scopeCsvWithIncrement(const std::vector<Series>& channels);
// "x-axis,name..." over "second,unit...", then times and values.
std::string scopeCsvWithTimes(const std::vector<Series>& channels);

struct MatVariable {
    std::string name;
    std::size_t rows = 0;
    std::size_t columns = 0;
    std::vector<double> data;  // column by column
    bool text = false;         // a char array of `name` instead
};
enum class MatVersion { V5, V5Compressed, V73 };
// A .mat file written by matio; its bytes.
std::string matFile(const std::vector<MatVariable>& variables, MatVersion version = MatVersion::V5);

// A WAV file of `channels` interleaved: PCM of 16, 24 or 32 bits, or 32-bit
// float (bits 0); values in full scale 1.0.
std::string wavFile(const std::vector<std::vector<double>>& channels, int rate, int bits);

// The record read by `format`, or the error it throws.
Record read(const RecordFormat& format, const std::string& bytes, const FormatOptions& options = {},
            const std::string& path = "test");
std::string errorOf(const RecordFormat& format, const std::string& bytes,
                    const FormatOptions& options = {}, const std::string& path = "test");

}  // namespace korvex::fixtures
