// The window's layout in twips, as the form was drawn (1 twip = 1/1440 inch,
// 15 twips to a pixel at 96 dpi), and its conversion to pixels.
#pragma once

#include <array>
#include <string_view>

namespace povezava::window {

// Client area of the window.
inline constexpr int kClientWidthTwips = 7155;
inline constexpr int kClientHeightTwips = 5850;

inline constexpr int kTwipsPerInch = 1440;

// A control's place on the form. tabIndex is -1 for what takes no focus
// in the tab order (the file dialog).
struct ControlPlace {
  std::string_view name;
  int left;
  int top;
  int width;
  int height;
  int tabIndex;
};

// In creation order, which is also the stacking order (the first at the
// bottom). The file dialog has no place on the form.
inline constexpr std::array<ControlPlace, 15> kControls{{
    {"ImeBaze", 240, 360, 6735, 315, 12},
    {"Text1(1)", 240, 2160, 6735, 495, 11},
    {"Command2(1)", 5880, 3840, 1095, 255, 10},
    {"Text2(1)", 240, 4200, 6735, 495, 9},
    {"Command4", 600, 5040, 1455, 375, 8},
    {"imetab", 240, 960, 6735, 285, 7},
    {"Command3", 5760, 120, 1215, 195, 5},
    {"Dialog", 0, 0, 0, 0, -1},
    {"Command2(0)", 5880, 2880, 1095, 255, 3},
    {"Command1", 5520, 5160, 1455, 375, 2},
    {"Text2(0)", 240, 3240, 6735, 495, 1},
    {"Text1(0)", 240, 1440, 6735, 495, 0},
    {"Label2", 3000, 5640, 1455, 255, 13},
    {"Label1", 240, 720, 1215, 255, 6},
    {"Baza", 240, 120, 1215, 255, 4},
}};

// Pixels for a length in twips on a screen of `dpi` logical dots per inch,
// rounded to the nearest pixel.
constexpr int twipsToPixels(int twips, double dpi) {
  const double exact = twips * dpi / kTwipsPerInch;
  return static_cast<int>(exact + 0.5);
}

}  // namespace povezava::window
