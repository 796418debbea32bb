#include "win32/look.h"

#include "links/form_layout.h"

namespace povezava::win32 {
namespace {

std::wstring wide(std::u16string_view text) { return {text.begin(), text.end()}; }

}  // namespace

HFONT createDialogFont(int dpi) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(8, dpi, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  wcscpy_s(font.lfFaceName, L"MS Shell Dlg 2");
  return CreateFontIndirectW(&font);
}

int dpiOf(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = user32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (getDpiForWindow != nullptr && window != nullptr) {
    if (const UINT dpi = getDpiForWindow(window); dpi != 0) return static_cast<int>(dpi);
  }
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

std::wstring openFilter() {
  std::wstring filter;
  for (const links::FileFilter& entry : links::kDatabaseFilters) {
    filter += wide(entry.description) + L"(" + wide(entry.patterns) + L")";
    filter += L'\0';
    filter += wide(entry.patterns);
    filter += L'\0';
  }
  filter += L'\0';
  return filter;
}

}  // namespace povezava::win32
