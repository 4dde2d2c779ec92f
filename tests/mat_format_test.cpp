#include "analysis/record/formats/mat_format.h"

#include <gtest/gtest.h>

#include "format_fixtures.h"

namespace korvex {
namespace {

using fixtures::MatVariable;

const MatFormat kMat;

std::vector<double> valuesOf(const Channel& c) {
    return {c.values.begin(), c.values.end()};
}

FormatOptions options(std::string channels, std::string rateVariable = "",
                      std::optional<double> rate = {}) {
    FormatOptions o;
    o.channels = std::move(channels);
    o.rateVariable = std::move(rateVariable);
    o.rateHz = rate;
    return o;
}

// A 4 x 3 matrix [t, accel, force] at 1 kHz, a vector, its time vector,
// two scalars and a text.
std::vector<MatVariable> lab() {
    return {{"data", 4, 3, {0, 0.001, 0.002, 0.003, 1, 2, 3, 4, -1, -2, -3, -4}},
            {"accel", 1, 4, {0.5, 0.25, -0.5, 8}},
            {"fs", 1, 1, {2000}},
            {"dt", 1, 1, {0.004}},
            {"note", 0, 0, {}, true}};
}

TEST(MatFormat, TimesChannelsByRateVariableRateTimeColumnOrTimeVector) {
    using fixtures::MatVersion;
    for (const MatVersion version : {MatVersion::V5, MatVersion::V5Compressed, MatVersion::V73}) {
        SCOPED_TRACE(static_cast<int>(version));
        const std::string file = fixtures::matFile(lab(), version);
        EXPECT_EQ(kMat.sniff(file, "-").confidence, 100);
        // The matrix's first column steps evenly: its times.
        const Record matrix = fixtures::read(kMat, file, options("data"));
        ASSERT_EQ(matrix.channels.size(), 2u);
        EXPECT_EQ(matrix.channels[0].name, "data:2");
        EXPECT_EQ(valuesOf(matrix.channels[1]), (std::vector<double>{-1, -2, -3, -4}));
        EXPECT_DOUBLE_EQ(matrix.channels[0].intervalS, 0.001);
        // A rate variable in Hz, or one named for an interval, or the rate given.
        EXPECT_EQ(fixtures::read(kMat, file, options("accel", "fs")).channels[0].intervalS, 0.0005);
        EXPECT_EQ(fixtures::read(kMat, file, options("accel", "dt")).channels[0].intervalS, 0.004);
        const Record rated = fixtures::read(kMat, file, options("accel", "", 100.0));
        EXPECT_EQ(rated.channels[0].intervalS, 0.01);
        EXPECT_EQ(valuesOf(rated.channels[0]), (std::vector<double>{0.5, 0.25, -0.5, 8}));
        // The row vector has no times of its own.
        EXPECT_NE(fixtures::errorOf(kMat, file, options("accel")).find("has no times"),
                  std::string::npos);
    }
    const std::string timed =
        fixtures::matFile({{"t", 3, 1, {0.5, 0.75, 1.0}}, {"v", 3, 1, {7, 8, 9}}});
    const Record r = fixtures::read(kMat, timed, {}, "-");  // standard input too
    ASSERT_EQ(r.channels.size(), 1u);
    EXPECT_EQ(r.channels[0].startS, 0.5);
    EXPECT_EQ(r.channels[0].intervalS, 0.25);
}

TEST(MatFormat, BadFilesGetAnInputErrorNamingWhatTheFileHolds) {
    const std::string file = fixtures::matFile(lab());
    const struct {
        std::string file;
        FormatOptions options;
        std::string error;
    } cases[] = {
        {file, options("note", "fs"), "test: variable \"note\" is char 1x4, not numbers"},
        {file, options("accel", "gain"),
         "test: the rate variable \"gain\" is not a number in the file"},
        {fixtures::matFile({{"note", 0, 0, {}, true}}),
         {},
         "test: no numeric vector or matrix to read; the file holds note (char 1x4)"},
        {file.substr(0, 100), {}, "test: not a MAT file matio can read"},
        {fixtures::matFile({{"t", 3, 1, {0, 1, 5}}, {"v", 3, 1, {7, 8, 9}}}),
         {},
         "test: the times step unevenly at sample 2"},
    };
    for (const auto& c : cases) {
        const std::string error = fixtures::errorOf(kMat, c.file, c.options);
        EXPECT_EQ(error.rfind("input: " + c.error, 0), 0u) << error;
    }
}

TEST(MatFormat, NamesOfIntervalsAreToldFromNamesOfRates) {
    for (const char* interval : {"dt", "DT", "Ts", "interval", "sample_interval", "dt_s"}) {
        EXPECT_TRUE(namesAnInterval(interval)) << interval;
    }
    for (const char* rate : {"fs", "Fs", "rate", "sample_rate", "tsunami", "fdt"}) {
        EXPECT_FALSE(namesAnInterval(rate)) << rate;
    }
}

}  // namespace
}  // namespace korvex
