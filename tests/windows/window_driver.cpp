// Drives povezava.exe from outside, as a clerk would, through window messages
// only: started under Wine beside the window by window_under_wine.sh.
//
//   window_driver FOLDER COMMAND-LINE [STEP ...]
//
// Starts povezava.exe with exactly COMMAND-LINE (CreateProcessW) in FOLDER,
// its standard error going to the driver's, and runs the steps in order:
//
//   wait-window         until the window is up and waiting for input
//   get NAME            prints "NAME=TEXT"
//   set NAME TEXT       WM_SETTEXT
//   click NAME          BM_CLICK, as a press of the button
//   pick INDEX          picks entry INDEX of ImeBaze's list (CBN_SELENDOK)
//   close               WM_CLOSE, as the window's close box
//   layout              the controls' rectangles and the client area against
//                       the twips table at the window's dpi, within 2 px,
//                       and the tab order
//   resources FILE      the icon (16 to 256 px) and version of the .exe FILE
//   exit                waits for the program to end
//
// A message box that shows while a step runs is printed as "box: TEXT" and
// answered with OK. At the end the driver prints "exit N" (the program's exit
// status) and "boxes K"; a step that finds something wrong prints "FAIL ..."
// and the driver exits 1 (2 when the program could not be driven at all).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "links/form_layout.h"
#include "win32/window_ids.h"

namespace {

using povezava::links::kControls;
using povezava::win32::controlId;

PROCESS_INFORMATION program{};
HWND window = nullptr;
int boxes = 0;
bool failed = false;

void print(const std::wstring& line) {
  const std::wstring text = line + L"\n";
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr,
                      nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void fail(const std::wstring& what) {
  print(L"FAIL " + what);
  failed = true;
}

[[noreturn]] void giveUp(const std::wstring& why) {
  print(L"FAIL " + why);
  if (program.hProcess != nullptr) TerminateProcess(program.hProcess, 99);
  std::exit(2);
}

std::wstring textOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

std::string narrow(std::wstring_view text) { return {text.begin(), text.end()}; }  // ASCII names

HWND controlNamed(const std::wstring& name) {
  const int id = controlId(narrow(name));
  const HWND control = id < 0 ? nullptr : GetDlgItem(window, id);
  if (control == nullptr) giveUp(L"no control " + name);
  return control;
}

// The program's message boxes: dialogs (#32770) of its thread, visible.
BOOL CALLBACK collectBox(HWND candidate, LPARAM found) {
  wchar_t className[16] = {};
  GetClassNameW(candidate, className, 16);
  if (std::wstring_view(className) == L"#32770" && IsWindowVisible(candidate)) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(candidate);
  }
  return TRUE;
}
std::vector<HWND> openBoxes() {
  std::vector<HWND> found;
  EnumThreadWindows(program.dwThreadId, collectBox, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Prints and answers every box that is open now; true when there was one.
bool answerBoxes() {
  bool any = false;
  for (const HWND box : openBoxes()) {
    std::wstring text = textOf(GetDlgItem(box, 0xFFFF));  // a message box's text
    for (wchar_t& c : text) {
      if (c == L'\r' || c == L'\n') c = L' ';
    }
    print(L"box: " + text);
    ++boxes;
    any = true;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  return any;
}

// Sends `message` from a thread of its own, so that a message box it opens
// can be answered here; returns when the window has handled it or the
// program has ended.
struct Sent {
  HWND target;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
DWORD WINAPI sendThread(void* parameter) {
  const Sent* sent = static_cast<const Sent*>(parameter);
  SendMessageW(sent->target, sent->message, sent->wParam, sent->lParam);
  return 0;
}
void sendAndAnswer(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
  Sent sent{target, message, wParam, lParam};
  const HANDLE thread = CreateThread(nullptr, 0, sendThread, &sent, 0, nullptr);
  const HANDLE handles[] = {thread, program.hProcess};
  // Handled, or the program ended; meanwhile answer its boxes. 60 s at most.
  for (int round = 0; round < 1200; ++round) {
    if (WaitForMultipleObjects(2, handles, FALSE, 50) != WAIT_TIMEOUT) break;
    answerBoxes();
  }
  if (WaitForSingleObject(thread, 5000) != WAIT_OBJECT_0) giveUp(L"the window does not answer");
  CloseHandle(thread);
}

BOOL CALLBACK findOurs(HWND candidate, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(candidate, &process);
  wchar_t className[64] = {};
  GetClassNameW(candidate, className, 64);
  const std::u16string_view wanted = povezava::win32::kWindowClass;
  const std::wstring_view got = className;
  const bool same = std::equal(got.begin(), got.end(), wanted.begin(), wanted.end(),
                               [](wchar_t a, char16_t b) { return static_cast<char16_t>(a) == b; });
  // Shown: built, loaded and placed.
  if (process == program.dwProcessId && same && IsWindowVisible(candidate)) {
    window = candidate;
    return FALSE;
  }
  return TRUE;
}

void waitWindow() {
  WaitForInputIdle(program.hProcess, 60000);
  for (int round = 0; round < 1200 && window == nullptr; ++round) {
    EnumWindows(findOurs, 0);
    if (window != nullptr) break;
    if (WaitForSingleObject(program.hProcess, 50) == WAIT_OBJECT_0) giveUp(L"the program ended before its window showed");
    answerBoxes();  // Load may have something to say before the window shows
  }
  if (window == nullptr) giveUp(L"no window");
}

// The layout at the window's dpi, within 2 px; the tab order; the icon.
void checkLayout() {
  const int dpi = static_cast<int>(GetDpiForWindow(window));
  print(L"dpi " + std::to_wstring(dpi));
  RECT client{};
  GetClientRect(window, &client);
  const auto within2 = [](int a, int b) { return a - b <= 2 && b - a <= 2; };
  const int width = povezava::links::twipsToPixels(povezava::links::kClientWidthTwips, dpi);
  const int height = povezava::links::twipsToPixels(povezava::links::kClientHeightTwips, dpi);
  if (!within2(client.right, width) || !within2(client.bottom, height)) {
    fail(L"client area " + std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom) + L", not " +
         std::to_wstring(width) + L"x" + std::to_wstring(height));
  }
  int checked = 0;
  for (const auto& place : kControls) {
    if (place.tabIndex < 0) continue;
    const std::wstring name(place.name.begin(), place.name.end());
    const HWND control = controlNamed(name);
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    const povezava::win32::PixelRect want = povezava::win32::pixelRect(place, dpi);
    const bool ok = within2(r.left, want.left) && within2(r.top, want.top) && within2(r.right - r.left, want.width) &&
                    within2(r.bottom - r.top, want.height);
    if (!ok) {
      fail(name + L" at " + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L" " +
           std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top) + L", not " +
           std::to_wstring(want.left) + L"," + std::to_wstring(want.top) + L" " + std::to_wstring(want.width) +
           L"x" + std::to_wstring(want.height));
    }
    ++checked;
  }
  print(L"layout: " + std::to_wstring(checked) + L" controls checked");
  // Tab order: from Text1(0) through every control that takes the focus.
  std::vector<const povezava::links::ControlPlace*> order;  // what takes the focus: not the labels
  for (const auto& place : kControls) {
    if (place.tabIndex >= 0 && place.name != "Baza" && !place.name.starts_with("Label")) order.push_back(&place);
  }
  std::sort(order.begin(), order.end(), [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
  HWND at = controlNamed(L"Text1(0)");
  std::wstring seen = L"Text1(0)";
  for (std::size_t i = 1; i < order.size(); ++i) {
    at = GetNextDlgTabItem(window, at, FALSE);
    const std::wstring want(order[i]->name.begin(), order[i]->name.end());
    if (at != controlNamed(want)) {
      fail(L"tab order: after " + seen + L" comes control id " + std::to_wstring(GetDlgCtrlID(at)) + L", not " + want);
      break;
    }
    seen = want;
  }
}

// The icon and version resources of the .exe at `path`: every size of the
// icon, 16 to 256 px, and the version naming the licence.
void checkResources(const std::wstring& path) {
  const HMODULE file = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (file == nullptr) giveUp(L"cannot read " + path);
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    const auto icon = static_cast<HICON>(LoadImageW(file, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    ICONINFO info{};
    BITMAP image{};
    if (icon == nullptr || !GetIconInfo(icon, &info) || GetObjectW(info.hbmColor, sizeof(image), &image) == 0 ||
        image.bmWidth != size) {
      fail(L"no icon image of " + std::to_wstring(size) + L" px");
      continue;
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
  FreeLibrary(file);
  DWORD ignored = 0;
  std::vector<char> version(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  wchar_t* value = nullptr;
  UINT length = 0;
  for (const wchar_t* key : {L"\\StringFileInfo\\042404b0\\FileVersion", L"\\StringFileInfo\\042404b0\\LegalCopyright"}) {
    if (version.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()) ||
        !VerQueryValueW(version.data(), key, reinterpret_cast<void**>(&value), &length)) {
      fail(std::wstring(L"no ") + key);
      continue;
    }
    print(std::wstring(key).substr(25) + L": " + value);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    print(L"usage: window_driver FOLDER COMMAND-LINE [STEP ...]");
    return 2;
  }
  std::wstring commandLine = argv[2];
  STARTUPINFOW start{};
  start.cb = sizeof(start);
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = GetStdHandle(STD_ERROR_HANDLE);  // the driver's stdout is its own report
  start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, argv[1], &start, &program)) {
    print(L"FAIL cannot start: " + commandLine);
    return 2;
  }
  for (int i = 3; i < argc; ++i) {
    const std::wstring_view step = argv[i];
    const auto argument = [&](int offset) -> std::wstring {
      if (i + offset >= argc) giveUp(L"step " + std::wstring(step) + L" needs more");
      return argv[i + offset];
    };
    if (step == L"wait-window") {
      waitWindow();
    } else if (step == L"get") {
      const std::wstring name = argument(1);
      print(name + L"=" + textOf(controlNamed(name)));
      i += 1;
    } else if (step == L"set") {
      const std::wstring name = argument(1), text = argument(2);
      SendMessageW(controlNamed(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
      i += 2;
    } else if (step == L"click") {
      sendAndAnswer(controlNamed(argument(1)), BM_CLICK, 0, 0);
      i += 1;
    } else if (step == L"pick") {
      const HWND list = controlNamed(L"ImeBaze");
      SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(std::wcstol(argument(1).c_str(), nullptr, 10)), 0);
      sendAndAnswer(window, WM_COMMAND, MAKEWPARAM(controlId("ImeBaze"), CBN_SELENDOK), reinterpret_cast<LPARAM>(list));
      i += 1;
    } else if (step == L"close") {
      sendAndAnswer(window, WM_CLOSE, 0, 0);
    } else if (step == L"layout") {
      checkLayout();
    } else if (step == L"resources") {
      checkResources(argument(1));
      i += 1;
    } else if (step == L"exit") {
      // Boxes are answered while waiting, so a run that asks is seen, not hung.
      for (int round = 0; round < 1200; ++round) {
        if (WaitForSingleObject(program.hProcess, 50) != WAIT_TIMEOUT) break;
        answerBoxes();
      }
    } else {
      giveUp(L"unknown step " + std::wstring(step));
    }
  }
  DWORD status = STILL_ACTIVE;
  if (WaitForSingleObject(program.hProcess, 60000) != WAIT_OBJECT_0) giveUp(L"the program does not end");
  answerBoxes();
  GetExitCodeProcess(program.hProcess, &status);
  print(L"exit " + std::to_wstring(status));
  print(L"boxes " + std::to_wstring(boxes));
  return failed ? 1 : 0;
}
