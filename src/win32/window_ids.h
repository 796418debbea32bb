// How the native Windows window is found from outside: its window class and
// the control ids. A script or the test driver finds the window with
// FindWindowW(kWindowClass, L"POVEZAVA") and a control with GetDlgItem.
// Plain C++, no Windows headers.
#pragma once

#include <cstddef>
#include <string_view>

#include "links/form_layout.h"

namespace povezava::win32 {

inline constexpr std::u16string_view kWindowClass = u"povezava.morvane";

// A control's id: 100 plus its row in links::kControls; -1 for a name the
// table does not hold.
inline constexpr int kFirstControlId = 100;
constexpr int controlId(std::string_view name) {
  for (std::size_t i = 0; i < links::kControls.size(); ++i) {
    if (links::kControls[i].name == name) return kFirstControlId + static_cast<int>(i);
  }
  return -1;
}

// A control's place in pixels on a screen of `dpi` dots per inch.
struct PixelRect {
  int left;
  int top;
  int width;
  int height;
};
constexpr PixelRect pixelRect(const links::ControlPlace& place, int dpi) {
  return {links::twipsToPixels(place.left, dpi), links::twipsToPixels(place.top, dpi),
          links::twipsToPixels(place.width, dpi), links::twipsToPixels(place.height, dpi)};
}

}  // namespace povezava::win32
