#include "ui/form/dialog_template.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

TEST(DialogTemplateTest, AverageWidthRoundsTheLettersWidth) {
    EXPECT_EQ(averageCharWidth(52 * 7), 7);
    EXPECT_EQ(averageCharWidth(52 * 7 + 25), 7);
    EXPECT_EQ(averageCharWidth(52 * 7 + 26), 8);
}

struct PixelCase {
    ControlTemplate control;
    BaseUnits base;
    PixelRect expected;
};

class DialogUnits : public testing::TestWithParam<PixelCase> {};

TEST_P(DialogUnits, ScaleByQuarterWidthAndEighthHeightRounded) {
    EXPECT_EQ(toPixels(GetParam().control, GetParam().base), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DialogUnits,
    testing::Values(
        // 81 * 6 / 4 = 121.5 and 59 * 6 / 4 = 88.5 round up; 200 * 13 / 8 = 325.
        PixelCase{
            {IDOK, ControlKind::PushButton, "", 81, 200, 59, 16}, {6, 13}, {122, 325, 89, 26}},
        PixelCase{{0, ControlKind::Label, "", 4, 8, 4, 8}, {4, 8}, {4, 8, 4, 8}},
        PixelCase{{0, ControlKind::Label, "", 155, 89, 33, 8}, {7, 15}, {271, 167, 58, 15}},
        PixelCase{{0, ControlKind::Label, "", 0, 3, 1, 1}, {5, 12}, {0, 5, 1, 2}}));

TEST(DialogTemplateTest, DialogSizeConverts) {
    EXPECT_EQ(toPixels(mainDialogTemplate(), {6, 13}), (PixelRect{0, 0, 513, 375}));
    EXPECT_EQ(toPixels(aboutDialogTemplate(), {5, 13}), (PixelRect{0, 0, 294, 89}));
}

}  // namespace
}  // namespace korvex
