// The native view's drawing rules, under Wine: the dialog font, the captions
// in it, the pixel places, the file filter and the control ids.
#include "win32/look.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "links/form_layout.h"
#include "win32/window_ids.h"

namespace povezava::win32 {
namespace {

TEST(Win32Layout, PlacesAreTheTwipsTableAtTheDpi) {
  struct Case {
    int dpi;
    std::string_view name;
    PixelRect want;
  };
  // 15 twips a pixel at 96 dpi, 10 at 144; halves round up.
  const Case cases[] = {
      {96, "ImeBaze", {16, 24, 449, 21}},    {96, "Command3", {384, 8, 81, 13}},
      {96, "Command1", {368, 344, 97, 25}},  {96, "Label2", {200, 376, 97, 17}},
      {144, "ImeBaze", {24, 36, 674, 32}},   {144, "Command3", {576, 12, 122, 20}},
      {120, "Text2(1)", {20, 350, 561, 41}}, {192, "Command4", {80, 672, 194, 50}},
  };
  for (const Case& c : cases) {
    const int id = controlId(c.name);
    ASSERT_GE(id, kFirstControlId) << c.name;
    const PixelRect got = pixelRect(links::kControls[static_cast<std::size_t>(id - kFirstControlId)], c.dpi);
    EXPECT_EQ(got.left, c.want.left) << c.name << " at " << c.dpi;
    EXPECT_EQ(got.top, c.want.top) << c.name << " at " << c.dpi;
    EXPECT_EQ(got.width, c.want.width) << c.name << " at " << c.dpi;
    EXPECT_EQ(got.height, c.want.height) << c.name << " at " << c.dpi;
  }
}

TEST(Win32Layout, EveryControlHasItsOwnId) {
  std::set<int> ids;
  for (const links::ControlPlace& place : links::kControls) ids.insert(controlId(place.name));
  EXPECT_EQ(ids.size(), links::kControls.size());
  EXPECT_EQ(controlId("nothing"), -1);
}

TEST(Win32Layout, OpenFilterListsTheDatabaseFiltersMdbFirst) {
  using namespace std::string_literals;
  EXPECT_EQ(openFilter(),
            L"Podatkovna baza (*.mdb)\0*.mdb\0Podatkovna baza Access 2007 (*.accdb)\0*.accdb\0"
            L"Vse datoteke (*)\0*\0\0"s);
}

// Every caption fits its box in the dialog font, at 96 dpi and scaled up: the
// width of the text inside a button's or label's edges, and the height of the
// font's cell within the box (a button draws its caption centred and clipped
// by its 1-px frame, so the ink must stay inside).
TEST(Win32Font, CaptionsFitTheirBoxes) {
  for (const int dpi : {96, 120, 144, 192}) {
    const HFONT font = createDialogFont(dpi);
    ASSERT_NE(font, nullptr);
    const HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const std::wstring faceName(face);
    if (dpi == 96) RecordProperty("font", std::string(faceName.begin(), faceName.end()));
    // Windows draws it as Tahoma; Wine here as whatever its font
    // substitutes give (Liberation Sans): the captions must fit either way.
    for (const links::ControlPlace& place : links::kControls) {
      if (place.caption.empty()) continue;
      const std::wstring caption(place.caption.begin(), place.caption.end());
      SIZE size{};
      GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
      const PixelRect box = pixelRect(place, dpi);
      const int edges = 2 * MulDiv(3, dpi, 96);  // a button's frame and focus margin each side
      const std::string where = std::string(place.name) + " in " +
                                std::string(faceName.begin(), faceName.end()) + " at " + std::to_string(dpi) + " dpi";
      EXPECT_LE(size.cx, box.width - edges) << where;
      EXPECT_LE(metrics.tmHeight - metrics.tmInternalLeading, box.height) << where;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
  }
}

}  // namespace
}  // namespace povezava::win32
