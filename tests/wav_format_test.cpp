#include "analysis/record/formats/wav_format.h"

#include <gtest/gtest.h>

#include "format_fixtures.h"

namespace korvex {
namespace {

const WavFormat kWav;

const std::vector<std::vector<double>> kThree = {
    {0.5, -0.25, 0.125, -1.0}, {0.0, 0.75, -0.5, 0.25}, {-0.125, 0.5, 0.0, 0.0625}};

TEST(WavFormat, ReadsEveryDepthAndChannelAtFullScaleTimesTheScale) {
    for (const int bits : {16, 24, 32, 0}) {
        SCOPED_TRACE(bits);
        const std::string file = fixtures::wavFile(kThree, 48000, bits);
        EXPECT_EQ(kWav.sniff(file, "-").confidence, 100);
        FormatOptions o;
        o.scale = 10.0;  // mV/g as a factor
        o.unitLabel = "g";
        const Record r = fixtures::read(kWav, file, o, "-");
        ASSERT_EQ(r.channels.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(r.channels[k].name, "Channel " + std::to_string(k + 1));
            EXPECT_EQ(r.channels[k].unit, "g");
            EXPECT_EQ(r.channels[k].intervalS, 1.0 / 48000);
            ASSERT_EQ(r.channels[k].size(), 4u);
            for (std::size_t i = 0; i < 4; ++i)
                EXPECT_EQ(r.channels[k].values[i], 10.0 * kThree[k][i]);
        }
    }
    FormatOptions second;
    second.channels = "2";
    const Record r = fixtures::read(kWav, fixtures::wavFile(kThree, 8000, 16), second);
    ASSERT_EQ(r.channels.size(), 1u);
    EXPECT_EQ(r.channels[0].values[1], 0.75);
}

TEST(WavFormat, ABrokenHeaderIsAnInputError) {
    std::string noFormat = fixtures::wavFile(kThree, 8000, 16);
    noFormat.replace(12, 4, "junk");
    for (const std::string& file : {fixtures::wavFile(kThree, 8000, 16).substr(0, 30), noFormat}) {
        const std::string error = fixtures::errorOf(kWav, file);
        EXPECT_EQ(error.rfind("input: test: not a WAV file that can be read", 0), 0u) << error;
    }
}

}  // namespace
}  // namespace korvex
