// The window's layout in twips, as the form was drawn (1 twip = 1/1440 inch,
// 15 twips to a pixel at 96 dpi), its fixed texts, and the conversion to
// pixels. Plain C++: every view of the form (Qt, Win32) draws from this one
// table. Texts are UTF-16, so a Win32 view hands them to the W functions as
// they are.
#pragma once

#include <array>
#include <string_view>

namespace povezava::links {

// The window's caption.
inline constexpr std::u16string_view kWindowCaption = u"POVEZAVA";

// Client area of the window.
inline constexpr int kClientWidthTwips = 7155;
inline constexpr int kClientHeightTwips = 5850;

inline constexpr int kTwipsPerInch = 1440;

// A control's place on the form. tabIndex is -1 for what takes no focus
// in the tab order (the file dialog). caption: what a label or button shows
// (empty for boxes; Label2's text is the view's: kVersionLabelPrefix and the
// version).
struct ControlPlace {
  std::string_view name;
  int left;
  int top;
  int width;
  int height;
  int tabIndex;
  std::u16string_view caption;
};

// In creation order, which is also the stacking order (the first at the
// bottom). The file dialog has no place on the form.
inline constexpr std::array<ControlPlace, 15> kControls{{
    {"ImeBaze", 240, 360, 6735, 315, 12, u""},
    {"Text1(1)", 240, 2160, 6735, 495, 11, u""},
    {"Command2(1)", 5880, 3840, 1095, 255, 10, u"Prebrskaj"},
    {"Text2(1)", 240, 4200, 6735, 495, 9, u""},
    {"Command4", 600, 5040, 1455, 375, 8, u"Osveži"},
    {"imetab", 240, 960, 6735, 285, 7, u""},
    {"Command3", 5760, 120, 1215, 195, 5, u"Prebrskaj"},
    {"Dialog", 0, 0, 0, 0, -1, u""},
    {"Command2(0)", 5880, 2880, 1095, 255, 3, u"Prebrskaj"},
    {"Command1", 5520, 5160, 1455, 375, 2, u"Nova povezava"},
    {"Text2(0)", 240, 3240, 6735, 495, 1, u""},
    {"Text1(0)", 240, 1440, 6735, 495, 0, u""},
    {"Label2", 3000, 5640, 1455, 255, 13, u""},
    {"Label1", 240, 720, 1215, 255, 6, u"Tabela"},
    {"Baza", 240, 120, 1215, 255, 4, u"Baza:"},
}};

// The caption of the control named `name`; empty for none.
constexpr std::u16string_view captionOf(std::string_view name) {
  for (const ControlPlace& place : kControls) {
    if (place.name == name) return place.caption;
  }
  return {};
}

// Label2: "različica " and the program's version.
inline constexpr std::u16string_view kVersionLabelPrefix = u"različica ";
// Label2's text colour: pure blue.
inline constexpr unsigned char kLabel2Red = 0, kLabel2Green = 0, kLabel2Blue = 255;

// ImeBaze's list, unsorted, in this order.
inline constexpr std::array<std::u16string_view, 6> kPresetFrontEnds{
    u"TQ.MDB", u"MV.MDB", u"RZ.MDB", u"FH.MDB", u"YU.MDB", u"XAN.MDB"};

// The browse buttons' file filters, the first chosen at the start: database
// files .mdb (any letter case: users' back-ends are named PARTNER.MDB), then
// .accdb, then all files. Patterns separated by ";".
struct FileFilter {
  std::u16string_view description;
  std::u16string_view patterns;
};
inline constexpr std::array<FileFilter, 3> kDatabaseFilters{{
    {u"Podatkovna baza ", u"*.mdb"},
    {u"Podatkovna baza Access 2007 ", u"*.accdb"},
    {u"Vse datoteke ", u"*"},
}};

// Pixels for a length in twips on a screen of `dpi` logical dots per inch,
// rounded to the nearest pixel.
constexpr int twipsToPixels(int twips, double dpi) {
  const double exact = twips * dpi / kTwipsPerInch;
  return static_cast<int>(exact + 0.5);
}

}  // namespace povezava::links
