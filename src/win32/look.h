// How the native window looks, apart from the window itself: its font, the
// dpi it draws at, the open dialog's filters. Separate from the view so that
// tests measure them without a form.
#pragma once

#include <windows.h>

#include <string>

namespace povezava::win32 {

// A function of user32 that newer Windows has, looked up so that the program
// still starts on older ones; null where it is missing.
template <typename Function>
Function user32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 == nullptr ? nullptr
                           : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

// The dialog font at `dpi`: "MS Shell Dlg 2", 8 points, which Windows maps to
// Tahoma (Wine as well), the font the form's sizes were drawn for. The caller
// deletes it.
HFONT createDialogFont(int dpi);

// The window's dpi: GetDpiForWindow where Windows has it (10, version 1607 and
// later), else the screen's.
int dpiOf(HWND window);

// The open dialog's filter list for GetOpenFileNameW, from kDatabaseFilters:
// "Description (patterns)", NUL, "patterns", NUL, ..., NUL.
std::wstring openFilter();

}  // namespace povezava::win32
