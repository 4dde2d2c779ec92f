#include "pulse/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace korvex {
namespace {

const double kInf = std::numeric_limits<double>::infinity();

struct LeadingCase {
    const char* text;
    double value;
};

class LeadingNumber : public testing::TestWithParam<LeadingCase> {};

TEST_P(LeadingNumber, ReadsTheLongestDecimalPrefix) {
    const LeadingCase& c = GetParam();
    const double got = parseLeadingNumber(c.text);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(c.value))
        << '"' << c.text << "\" gave " << got;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LeadingNumber,
    testing::Values(LeadingCase{" 12abc", 12.0}, LeadingCase{"abc", 0.0}, LeadingCase{"", 0.0},
                    LeadingCase{"1e3", 1000.0}, LeadingCase{"1,5", 1.0}, LeadingCase{".5", 0.5},
                    LeadingCase{"5.", 5.0}, LeadingCase{"-.5e1", -5.0}, LeadingCase{"+7", 7.0},
                    LeadingCase{"\t\n\v\f\r 3", 3.0}, LeadingCase{"1e", 1.0},
                    LeadingCase{"1e+", 1.0}, LeadingCase{"1E-2x", 0.01}, LeadingCase{"1d3", 1.0},
                    LeadingCase{"0x1A", 0.0}, LeadingCase{"inf", 0.0}, LeadingCase{"-nan", 0.0},
                    LeadingCase{"-", 0.0}, LeadingCase{".", 0.0}, LeadingCase{"- 1", 0.0},
                    LeadingCase{"-0", -0.0}, LeadingCase{"1e999", kInf},
                    LeadingCase{"-1e999", -kInf}, LeadingCase{"1e99999999999999999999", kInf},
                    LeadingCase{"0.000e999999", 0.0}, LeadingCase{"1e-400", 0.0},
                    LeadingCase{"-1e-400", -0.0}, LeadingCase{"3e-324", 5e-324},
                    LeadingCase{"0.0000000000000000000001e330", 1e308},
                    LeadingCase{"\xc2\xa0"
                                "5",
                                0.0},  // a no-break space is not a blank
                    LeadingCase{"4\xd9\xa3", 4.0}, LeadingCase{"0.1", 0.1}));

TEST(LeadingNumberTest, LongDigitStringsRoundCorrectly) {
    // 2^53 + 1 lies exactly between two doubles; a digit 400 places later
    // decides the rounding, which a parser that stops reading early gets wrong.
    const std::string halfway = "9007199254740993." + std::string(400, '0');
    EXPECT_EQ(parseLeadingNumber(halfway), 9007199254740992.0);
    EXPECT_EQ(parseLeadingNumber(halfway + "1"), 9007199254740994.0);
    EXPECT_EQ(parseLeadingNumber(std::string(5000, '9')), kInf);
    EXPECT_EQ(parseLeadingNumber("0." + std::string(5000, '0') + "1"), 0.0);
    EXPECT_EQ(parseLeadingNumber(std::string(5000, '0') + "25"), 25.0);
}

// Every decimal prefix reads as glibc's strtod reads it in the C locale.
TEST(LeadingNumberTest, AgreesWithStrtodOnRandomText) {
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    const std::string alphabet = "0123456789012345678901234567890123456789..eE+-  \t";
    std::mt19937 rng(2024);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    for (int n = 0; n < 200000; ++n) {
        std::string text;
        for (int i = length(rng); i > 0; --i) text += alphabet[pick(rng)];
        const double expected = std::strtod(text.c_str(), nullptr);
        const double got = parseLeadingNumber(text);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected))
            << '"' << text << '"';
    }
}

TEST(LeadingNumberTest, IgnoresACommaDecimalLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale";
    const double strtodComma = std::strtod("1,5", nullptr);
    const double point = parseLeadingNumber("1.5");
    const double comma = parseLeadingNumber("1,5");
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_EQ(strtodComma, 1.5);  // the locale is really in force
    EXPECT_EQ(point, 1.5);
    EXPECT_EQ(comma, 1.0);
}

TEST(StrictNumberTest, AcceptsOnlyAWholeFiniteDecimal) {
    for (const char* good : {"1", "-2.5", "+.5", "5.", "1e-3", "1E+300", "1e-400"}) {
        EXPECT_TRUE(parseStrictNumber(good).has_value()) << good;
    }
    for (const char* bad : {"", " 1", "1 ", "1x", "1e", "1e+", "inf", "nan", "0x10", "1e999",
                            "-1e999", "1,5", ".", "-", "1d3"}) {
        EXPECT_FALSE(parseStrictNumber(bad).has_value()) << '"' << bad << '"';
    }
    EXPECT_EQ(*parseStrictNumber("-2.5"), -2.5);
}

}  // namespace
}  // namespace korvex
