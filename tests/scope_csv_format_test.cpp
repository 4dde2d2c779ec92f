#include "analysis/record/formats/scope_csv_format.h"

#include <gtest/gtest.h>

#include "format_fixtures.h"

namespace korvex {
namespace {

using fixtures::Series;

const ScopeCsvFormat kScope;

std::vector<Series> twoChannels() {
    return {{"CH1", "Volt", -1.2e-3, 2e-6, {0.012, 0.5, -0.25, 1.5e-3, 2}},
            {"CH2", "Volt", -1.2e-3, 2e-6, {1, 2, 3, 4, 5}}};
}

TEST(ScopeCsvFormat, ReadsBothHeaderLayouts) {
    for (const bool increment : {true, false}) {
        SCOPED_TRACE(increment);
        const std::string file = increment ? fixtures::scopeCsvWithIncrement(twoChannels())
                                           : fixtures::scopeCsvWithTimes(twoChannels());
        EXPECT_EQ(kScope.sniff(file, "-").confidence, 100);
        const Record r = fixtures::read(kScope, file);
        ASSERT_EQ(r.channels.size(), 2u);
        for (std::size_t k = 0; k < 2; ++k) {
            EXPECT_EQ(r.channels[k].name, twoChannels()[k].name);
            EXPECT_EQ(r.channels[k].unit, "Volt");
            EXPECT_DOUBLE_EQ(r.channels[k].startS, -1.2e-3);
            EXPECT_NEAR(r.channels[k].intervalS, 2e-6, 1e-18);
            EXPECT_EQ(std::vector<double>(r.channels[k].values.begin(), r.channels[k].values.end()),
                      twoChannels()[k].values);
        }
    }
}

TEST(ScopeCsvFormat, BadFilesGetAnInputErrorAtTheirLine) {
    const struct {
        std::string file;
        std::string error;
    } cases[] = {
        {"X,CH1,Start,Increment,\n", "test:2: the two header lines are cut short"},
        {"X,CH1,Start,Increment,\nSequence,Volt,0,x\n", "test:2:17: Increment is not a number"},
        {"X,CH1,Start,Increment,\nSequence,Volt,0,1e-3\n0,1\n1,oops\n",
         "test:4:3: field 2 is not a number"},
        {"X,CH1,Start,Increment,\nSequence,Volt,0,1e-3\n0,1\n2,1\n", "test:4:1: the sample number"},
        {"x-axis,1\nsecond,V\n0,1\n0.001,2\n0.002,3\n0.0035,4\n0.004,5\n",
         "test:6:1: the time step here strays"},
        {"x-axis,1\nminute,Volt\n0,1\n1,2\n", "test:2:1: the time column's unit \"minute\""},
    };
    for (const auto& c : cases) {
        const std::string error = fixtures::errorOf(kScope, c.file);
        EXPECT_EQ(error.rfind("input: " + c.error, 0), 0u) << error;
    }
}

}  // namespace
}  // namespace korvex
