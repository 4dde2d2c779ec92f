// Dialog layouts as tables in dialog units, and their conversion to pixels.
// A dialog unit is a quarter of the font's average character width across
// and an eighth of its height down, so layouts scale with the font.
#pragma once

#include <span>
#include <string_view>

namespace korvex {

enum class ControlKind {
    PushButton,
    DefaultPushButton,
    ListBox,
    Edit,
    ReadOnlyEdit,
    Label,
    GroupBox,
    Icon
};

// One row of a dialog template. Static controls have no identifier (0).
struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, width, height;  // dialog units
};

struct DialogTemplate {
    const char* caption;
    int width, height;  // dialog units
    int pointSize;
    std::span<const ControlTemplate> controls;
};

// Pixels per 4 horizontal and 8 vertical dialog units.
struct BaseUnits {
    int x;
    int y;
};

struct PixelRect {
    int x, y, width, height;
    bool operator==(const PixelRect&) const = default;
};

// The average width of "A".."Z" and "a".."z", rounded, as the dialog
// manager computes it, from the width of the 52 letters together.
int averageCharWidth(int widthOf52Letters);

// dlu * base / 4 across and dlu * base / 8 down, rounded to nearest.
PixelRect toPixels(const ControlTemplate& control, BaseUnits base);
PixelRect toPixels(const DialogTemplate& dialog, BaseUnits base);  // origin 0, 0

// Identifiers.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_MAIN_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDC_PULSE_TYPE = 1000;
inline constexpr int IDC_AMPLITUDE = 1002;
inline constexpr int IDC_PULSE_DURATION = 1003;
inline constexpr int IDC_TOTAL_DURATION = 1004;
inline constexpr int IDC_SAMPLE_RATE = 1005;
inline constexpr int IDC_TIME_UNIT = 1006;
inline constexpr int IDC_PULSE_DURATION_UNIT = 1008;
inline constexpr int IDC_TOTAL_DURATION_UNIT = 1009;
// The rate's unit label follows the time unit too, so it needs a name.
inline constexpr int IDC_SAMPLE_RATE_UNIT = 1010;
inline constexpr int IDM_ABOUTBOX = 0x0010;

inline constexpr std::string_view kAboutMenuText = "&About korvex...";

const DialogTemplate& mainDialogTemplate();
const DialogTemplate& aboutDialogTemplate();

}  // namespace korvex
