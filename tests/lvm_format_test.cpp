#include "analysis/record/formats/lvm_format.h"

#include <gtest/gtest.h>

#include "format_fixtures.h"

namespace korvex {
namespace {

using fixtures::LvmLayout;
using fixtures::Series;

const LvmFormat kLvm;

std::vector<double> ramp(std::size_t n, double step) {
    std::vector<double> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = step * static_cast<double>(i) - 0.5;
    return v;
}

std::vector<double> valuesOf(const Channel& c) {
    return {c.values.begin(), c.values.end()};
}

// Three channels at 51.2 kHz: the X column printed to 1 us strays from the
// interval by far more than 1 %; every header row ends in a separator.
std::vector<Series> shock() {
    return {{"Accel X", "g", 0.0, 1.0 / 51200, ramp(40, 0.25)},
            {"Accel Y", "g", 0.0, 1.0 / 51200, ramp(40, -0.125)},
            {"Force", "N", 0.0, 1.0 / 51200, ramp(40, 2.0)}};
}

FormatOptions choose(std::string channels, std::string segment = "") {
    FormatOptions o;
    o.channels = std::move(channels);
    o.segment = std::move(segment);
    return o;
}

TEST(LvmFormat, ReadsEveryChannelOfEachLayoutAtItsDeltaX) {
    const LvmLayout layouts[] = {{'\t', '.', "One"},
                                 {'\t', ',', "One"},
                                 {',', '.', "One"},
                                 {'\t', '.', "Multi"},
                                 {'\t', '.', "No"}};
    for (const LvmLayout& layout : layouts) {
        SCOPED_TRACE(std::string(1, layout.separator) + layout.decimal + layout.xColumns);
        const Record r = fixtures::read(kLvm, fixtures::lvmFile({shock()}, layout));
        ASSERT_EQ(r.channels.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(r.channels[k].name, shock()[k].name);
            EXPECT_EQ(r.channels[k].unit, shock()[k].unit);
            EXPECT_EQ(r.channels[k].intervalS, 1.0 / 51200);
            EXPECT_EQ(r.channels[k].startS, 0.0);
            EXPECT_TRUE(r.channels[k].time.empty());
            EXPECT_EQ(valuesOf(r.channels[k]), shock()[k].values);
        }
    }
}

TEST(LvmFormat, ShortChannelsKeepTheirOwnLengthAndInterval) {
    std::vector<Series> channels = shock();
    channels[1].values.resize(13);
    channels[2].intervalS = 1.0 / 12800;
    channels[2].startS = -0.001;
    channels[2].values.resize(10);
    for (const char* x : {"One", "Multi"}) {
        SCOPED_TRACE(x);
        const Record r = fixtures::read(kLvm, fixtures::lvmFile({channels}, {'\t', '.', x}));
        ASSERT_EQ(r.channels.size(), 3u);
        EXPECT_EQ(valuesOf(r.channels[1]), channels[1].values);
        EXPECT_EQ(valuesOf(r.channels[2]), channels[2].values);
        EXPECT_EQ(r.channels[2].intervalS, 1.0 / 12800);
        EXPECT_EQ(r.channels[2].startS, -0.001);
    }
}

TEST(LvmFormat, WithoutDeltaXTheXColumnOrTheRateTimesTheSamples) {
    std::vector<Series> channels = shock();
    for (Series& c : channels) c.intervalS = 0.001;
    const LvmLayout bare{'\t', '.', "One", false, false};
    const Record r = fixtures::read(kLvm, fixtures::lvmFile({channels}, bare));
    EXPECT_DOUBLE_EQ(r.channels[0].intervalS, 0.001);
    EXPECT_EQ(r.channels[0].time.size(), 40u);
    const LvmLayout noX{'\t', '.', "No", false, false};
    EXPECT_NE(
        fixtures::errorOf(kLvm, fixtures::lvmFile({channels}, noX)).find("give the sample rate"),
        std::string::npos);
    FormatOptions rate;
    rate.rateHz = 2000.0;
    EXPECT_EQ(fixtures::read(kLvm, fixtures::lvmFile({channels}, noX), rate).channels[2].intervalS,
              0.0005);
}

// LabVIEW writes an empty X column under "X_Columns No", and channels it
// took no samples of as empty columns.
TEST(LvmFormat, ReadsAnEmptyXColumnAndLeavesOutEmptyChannels) {
    const std::string file =
        "LabVIEW Measurement\t\nSeparator\tTab\nX_Columns\tNo\n***End_of_Header***\t\n\t\n"
        "Channels\t3\t\t\t\nSamples\t3\t0\t3\t\nY_Unit_Label\tg\t\tm/s^2\t\n"
        "Delta_X\t0.000977\t1.000000\t0.000977\t\n***End_of_Header***\t\t\t\t\n"
        "X_Value\tF\tUntitled\tm_1\tComment\n\t0.05\t\t0.25\n\t0.04\t\t0.5\n\t0.03\t\t0.75\n";
    const Record r = fixtures::read(kLvm, file);
    ASSERT_EQ(r.channels.size(), 2u);
    EXPECT_EQ(r.channels[1].name, "m_1");
    EXPECT_EQ(r.channels[1].unit, "m/s^2");
    EXPECT_EQ(valuesOf(r.channels[1]), (std::vector<double>{0.25, 0.5, 0.75}));
    EXPECT_EQ(r.notes, std::vector<std::string>{"channel Untitled holds no samples; left out"});
    EXPECT_NE(fixtures::errorOf(kLvm, file, choose("Untitled")).find("holds no samples"),
              std::string::npos);
}

TEST(LvmFormat, ReadsTheFirstSegmentAChosenOneOrAll) {
    std::vector<Series> second = shock();
    for (Series& c : second) c.values = ramp(7, 9.0);
    const std::string file = fixtures::lvmFile({shock(), second});
    EXPECT_EQ(valuesOf(fixtures::read(kLvm, file).channels[0]), shock()[0].values);
    const Record two = fixtures::read(kLvm, file, choose("", "2"));
    EXPECT_EQ(two.channels[0].name, "Accel X (segment 2)");
    EXPECT_EQ(valuesOf(two.channels[0]), second[0].values);
    EXPECT_EQ(fixtures::read(kLvm, file, choose("Force", "all")).channels.size(), 2u);
    EXPECT_NE(fixtures::errorOf(kLvm, file, choose("", "3"))
                  .find("segment 3 asked for, but the file holds 2"),
              std::string::npos);
    // A segment without a header of its own keeps the last header, not its counts.
    const Record bare =
        fixtures::read(kLvm, file + "0.1\t1\t2\t3\t\n0.2\t4\t5\t6\t\n", choose("3", "3"));
    EXPECT_EQ(valuesOf(bare.channels[0]), (std::vector<double>{3, 6}));
    EXPECT_EQ(bare.channels[0].intervalS, 1.0 / 51200);
}

TEST(LvmFormat, ChoosesChannelsByNameNumberAndRange) {
    const std::string file = fixtures::lvmFile({shock()});
    const Record r = fixtures::read(kLvm, file, choose("force, 1"));
    ASSERT_EQ(r.channels.size(), 2u);
    EXPECT_EQ(r.channels[0].name, "Force");
    EXPECT_EQ(r.channels[1].name, "Accel X");
    EXPECT_EQ(fixtures::read(kLvm, file, choose("2-3")).channels[0].name, "Accel Y");
    EXPECT_EQ(
        fixtures::errorOf(kLvm, file, choose("Velocity")),
        "input: test:22: channel \"Velocity\" is neither a channel's name nor a number from 1 "
        "(the file has 1 Accel X, 2 Accel Y, 3 Force)");
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

TEST(LvmFormat, BadFilesGetAnInputErrorAtTheirLineAndColumn) {
    const std::string good = fixtures::lvmFile({shock()});
    std::vector<Series> gap = shock();
    gap[1].values.resize(1);
    const std::string gapFile = replaced(fixtures::lvmFile({gap}), "\t0\t\t3.5", "\t0\t7\t3.5");
    const struct {
        std::string file;
        std::string error;
    } cases[] = {
        {good.substr(0, good.find("***End")), "test:11: the file header ends without"},
        {replaced(good, "Separator\tTab", "Separator\tSemicolon"),
         "test:4:11: unknown separator \"Semicolon\""},
        {replaced(good, "Samples\t40\t40", "Samples\t40\t41"),
         "test:15:12: Samples gives 41 for channel \"Accel Y\""},
        {replaced(good, "\t1.5\t", "\t1.x\t"), "test:24:23: field 4 is not a number: \"1.x\""},
        {replaced(good, "\t1.5\t", "\tNaN\t"), "test:24:23: field 4 is not a number: \"NaN\""},
        {good.substr(0, good.find("Delta_X")),
         "test:19: the segment header that starts on line 14 ends"},
        {"LabVIEW Measure\n", "test:1:1: not a LabVIEW measurement file"},
        {gapFile, "test:25:12: field 3 holds a value after an empty cell"},
    };
    for (const auto& c : cases) {
        const std::string error = fixtures::errorOf(kLvm, c.file);
        EXPECT_EQ(error.rfind("input: " + c.error, 0), 0u) << error;
    }
}

TEST(LvmFormat, KnowsItsFilesByTheirFirstLine) {
    const std::string file = fixtures::lvmFile({shock()});
    EXPECT_EQ(kLvm.sniff(file, "-").confidence, 100);
    EXPECT_EQ(kLvm.sniff("1,2\n", "a.lvm").confidence, 1);
    EXPECT_EQ(kLvm.sniff("1,2\n", "a.csv").verdict, Sniff::Verdict::NotMine);
}

}  // namespace
}  // namespace korvex
