#include "ui/form/dialog_template.h"

namespace korvex {
namespace {

using K = ControlKind;

// In template order, which is also the tab order.
constexpr ControlTemplate kMainControls[] = {
    {IDOK, K::DefaultPushButton, "Calculate", 81, 200, 59, 16},
    {IDCANCEL, K::PushButton, "Exit", 154, 200, 58, 16},
    {IDC_PULSE_TYPE, K::ListBox, "", 35, 59, 78, 63},
    {IDC_AMPLITUDE, K::Edit, "", 203, 86, 51, 14},
    {IDC_PULSE_DURATION, K::Edit, "", 202, 111, 51, 14},
    {IDC_TOTAL_DURATION, K::Edit, "", 202, 134, 51, 14},
    {0, K::Label, "Amplitude", 155, 89, 33, 8},
    {0, K::Label, "Pulse Duration", 149, 112, 47, 8},
    {0, K::GroupBox, "Enter", 136, 33, 179, 152},
    {0, K::GroupBox, "Select Pulse Type", 18, 33, 111, 152},
    {0, K::Label, "Total Duration", 151, 137, 44, 8},
    {0, K::Label, "Sample Rate", 151, 166, 44, 8},
    {IDC_SAMPLE_RATE, K::Edit, "", 201, 163, 51, 14},
    {IDC_SAMPLE_RATE_UNIT, K::Label, "samples/sec", 260, 166, 44, 8},
    {IDC_TIME_UNIT, K::ListBox, "", 203, 44, 49, 32},
    {0, K::Label, "Time Unit", 155, 56, 34, 8},
    {IDC_PULSE_DURATION_UNIT, K::ReadOnlyEdit, "", 262, 112, 40, 14},
    {IDC_TOTAL_DURATION_UNIT, K::ReadOnlyEdit, "", 261, 136, 40, 14},
};

constexpr ControlTemplate kAboutControls[] = {
    {IDR_MAINFRAME, K::Icon, "", 11, 17, 20, 20},
    {0, K::Label, "korvex Version 1.0", 40, 10, 119, 8},
    {0, K::Label, "Shock pulse time histories", 40, 25, 119, 8},
    {IDOK, K::DefaultPushButton, "OK", 178, 7, 50, 14},
};

constexpr DialogTemplate kMain{"korvex    ver 1.0", 342, 231, 10, kMainControls};
constexpr DialogTemplate kAbout{"About korvex", 235, 55, 8, kAboutControls};

// MulDiv: a * b / c rounded to nearest, halves away from zero.
int mulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>((p >= 0 ? p + c / 2 : p - c / 2) / c);
}

}  // namespace

int averageCharWidth(int widthOf52Letters) {
    return (widthOf52Letters + 26) / 52;
}

PixelRect toPixels(const ControlTemplate& c, BaseUnits base) {
    return {mulDiv(c.x, base.x, 4), mulDiv(c.y, base.y, 8), mulDiv(c.width, base.x, 4),
            mulDiv(c.height, base.y, 8)};
}

PixelRect toPixels(const DialogTemplate& d, BaseUnits base) {
    return {0, 0, mulDiv(d.width, base.x, 4), mulDiv(d.height, base.y, 8)};
}

const DialogTemplate& mainDialogTemplate() {
    return kMain;
}
const DialogTemplate& aboutDialogTemplate() {
    return kAbout;
}

}  // namespace korvex
