#include "win32/win32_view.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "win32/window_ids.h"

namespace povezava::win32 {
namespace {

std::wstring wide(std::u16string_view text) { return {text.begin(), text.end()}; }
std::u16string narrow16(std::wstring_view text) { return {text.begin(), text.end()}; }

constexpr UINT kActivateLater = WM_APP + 1;  // formActivate from the event loop

// What kind of control a row of the form is, and how Windows draws it.
struct ControlKind {
  const wchar_t* windowClass;
  DWORD style;
  DWORD exStyle;
};
std::optional<ControlKind> kindOf(std::string_view name) {
  if (name == "ImeBaze") {
    return ControlKind{WC_COMBOBOXW, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0};
  }
  if (name.starts_with("Text1(") || name.starts_with("Text2(")) {
    // Two lines visible, long text wrapped inside the box, no scroll bars.
    return ControlKind{WC_EDITW, ES_MULTILINE | ES_AUTOVSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
  }
  if (name == "imetab") return ControlKind{WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
  if (name.starts_with("Command")) return ControlKind{WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0};
  if (name == "Baza" || name.starts_with("Label")) return ControlKind{WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};
  return std::nullopt;  // the file dialog: no control on the form
}

std::string_view nameOf(links::Control control) {
  switch (control) {
    case links::Control::ImeBaze: return "ImeBaze";
    case links::Control::imetab: return "imetab";
    case links::Control::Text1_0: return "Text1(0)";
    case links::Control::Text1_1: return "Text1(1)";
    case links::Control::Text2_0: return "Text2(0)";
    case links::Control::Text2_1: return "Text2(1)";
  }
  return {};
}

std::wstring windowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

Win32View::Win32View(HINSTANCE instance) : instance_(instance) {}

Win32View::~Win32View() {
  if (window_ != nullptr) DestroyWindow(window_);
  if (font_ != nullptr) DeleteObject(font_);
}

bool Win32View::create() {
  INITCOMMONCONTROLSEX common{sizeof(common), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&common);

  const std::wstring className = wide(kWindowClass);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &Win32View::windowProc;
  windowClass.hInstance = instance_;
  windowClass.hIcon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className.c_str();
  if (RegisterClassExW(&windowClass) == 0) return false;

  // The platform's sizable frame with system menu, minimise and maximise; the
  // position is Windows' choice.
  const std::wstring caption = wide(links::kWindowCaption);
  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, className.c_str(), caption.c_str(), WS_OVERLAPPEDWINDOW,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                            instance_, this);
  if (window_ == nullptr) return false;
  createControls();
  layOut(dpiOf(window_));
  // The window's own icons as well, for whoever asks the window (WM_GETICON).
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(windowClass.hIcon));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(windowClass.hIconSm));
  return true;
}

void Win32View::createControls() {
  // Created in the form's tab order: Windows moves the focus in creation
  // order. No two controls overlap, so this order draws as the form's does.
  std::vector<std::size_t> rows;
  for (std::size_t i = 0; i < links::kControls.size(); ++i) {
    if (links::kControls[i].tabIndex >= 0) rows.push_back(i);
  }
  std::sort(rows.begin(), rows.end(), [](std::size_t a, std::size_t b) {
    return links::kControls[a].tabIndex < links::kControls[b].tabIndex;
  });
  for (const std::size_t row : rows) {
    const links::ControlPlace& place = links::kControls[row];
    const std::optional<ControlKind> kind = kindOf(place.name);
    if (!kind) continue;
    std::wstring caption = wide(place.caption);
    if (place.name == "Label2") {
      const std::string_view version = POVEZAVA_VERSION;
      caption = wide(links::kVersionLabelPrefix) + std::wstring(version.begin(), version.end());
    }
    controls_[row] = CreateWindowExW(kind->exStyle, kind->windowClass, caption.c_str(),
                                     WS_CHILD | WS_VISIBLE | kind->style, 0, 0, 0, 0, window_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(row))),
                                     instance_, nullptr);
  }
  // No box limits the length of its text (Windows' default is 32767).
  for (const links::Control box : {links::Control::imetab, links::Control::Text1_0, links::Control::Text1_1,
                                   links::Control::Text2_0, links::Control::Text2_1}) {
    SendMessageW(control(box), EM_SETLIMITTEXT, 0, 0);
  }
  const HWND list = control("ImeBaze");
  SendMessageW(list, CB_LIMITTEXT, 0, 0);
  for (const std::u16string_view entry : links::kPresetFrontEnds) {
    const std::wstring text = wide(entry);
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

void Win32View::layOut(int dpi) {
  dpi_ = dpi;
  const HFONT old = font_;
  font_ = createDialogFont(dpi);
  for (std::size_t row = 0; row < links::kControls.size(); ++row) {
    const HWND child = controls_[row];
    if (child == nullptr) continue;
    const PixelRect place = pixelRect(links::kControls[row], dpi);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    if (links::kControls[row].name == "ImeBaze") {
      // A combo box is as high as its edit field; the height given to
      // Windows is that of the dropped-down list.
      SendMessageW(child, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), place.height - 6);
      MoveWindow(child, place.left, place.top, place.width, place.height * 8, TRUE);
    } else {
      MoveWindow(child, place.left, place.top, place.width, place.height, TRUE);
    }
  }
  if (old != nullptr) DeleteObject(old);
}

void Win32View::run(int show) {
  // The client area of the form at this dpi.
  RECT frame{0, 0, links::twipsToPixels(links::kClientWidthTwips, dpi_),
             links::twipsToPixels(links::kClientHeightTwips, dpi_)};
  using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = user32Function<AdjustForDpi>("AdjustWindowRectExForDpi");
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE));
  if (adjustForDpi != nullptr) {
    adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi_));
  } else {
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  }
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window_, show);
  UpdateWindow(window_);
  // The first control of the tab order has the focus.
  focus_ = control(links::Control::Text1_0);
  SetFocus(focus_);
  // A window that is never activated (no window manager) still relinks.
  PostMessageW(window_, kActivateLater, 0, 0);

  MSG message;
  while (window_ != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

HWND Win32View::control(std::string_view name) const {
  const int id = controlId(name);
  return id < 0 ? nullptr : controls_[static_cast<std::size_t>(id - kFirstControlId)];
}

HWND Win32View::control(links::Control which) const { return control(nameOf(which)); }

std::u16string Win32View::text(links::Control which) const { return narrow16(windowText(control(which))); }

void Win32View::setText(links::Control which, std::u16string_view text) {
  const HWND box = control(which);
  const std::wstring wanted = wide(text);
  if (windowText(box) != wanted) SetWindowTextW(box, wanted.c_str());
}

std::optional<std::u16string> Win32View::chooseDatabase(std::u16string_view folder) {
  const std::wstring filter = openFilter();
  const std::wstring initialFolder = wide(folder);
  std::wstring file(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = initialFolder.empty() ? nullptr : initialFolder.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                 OFN_LONGNAMES;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;  // cancelled (or the dialog failed)
  file.resize(file.find(L'\0'));
  return narrow16(file);
}

void Win32View::showMessage(links::MessageKind kind, std::u16string_view text) {
  UINT icon = MB_ICONERROR;
  if (kind == links::MessageKind::information) icon = MB_ICONINFORMATION;
  if (kind == links::MessageKind::warning) icon = MB_ICONWARNING;
  const std::wstring body = wide(text);
  const std::wstring caption = wide(links::kWindowCaption);
  MessageBoxW(window_, body.c_str(), caption.c_str(), MB_OK | icon);
}

void Win32View::closeWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT CALLBACK Win32View::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* view = static_cast<Win32View*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
    view->window_ = window;
  }
  auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (view == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return view->handle(window, message, wParam, lParam);
}

LRESULT Win32View::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      command(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        focus_ = GetFocus();
      } else {
        if (focus_ != nullptr && IsWindow(focus_)) SetFocus(focus_);
        // Not inside WM_ACTIVATE: the relink may close the window.
        PostMessageW(window_, kActivateLater, 0, 0);
      }
      return 0;
    case kActivateLater:
      if (form_ != nullptr) form_->formActivate();
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == control("Label2")) {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(links::kLabel2Red, links::kLabel2Green, links::kLabel2Blue));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_DPICHANGED: {
      layOut(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      // The clerk closes the window: Unload, never refused.
      if (form_ != nullptr) form_->formUnload();
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Win32View::command(int id, int code) {
  if (form_ == nullptr || id < kFirstControlId) return;  // Enter and Escape (IDOK, IDCANCEL) run nothing
  const std::size_t row = static_cast<std::size_t>(id - kFirstControlId);
  if (row >= links::kControls.size()) return;
  const std::string_view name = links::kControls[row].name;
  if (name == "ImeBaze") {
    // An entry of the list was picked: its text goes into the edit field
    // before the inspection reads it. Typing runs nothing.
    if (code != CBN_SELENDOK) return;
    const HWND list = controls_[row];
    const LRESULT picked = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (picked == CB_ERR) return;
    std::wstring entry(static_cast<std::size_t>(SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(picked), 0)) + 1, L'\0');
    entry.resize(static_cast<std::size_t>(
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(picked), reinterpret_cast<LPARAM>(entry.data()))));
    SetWindowTextW(list, entry.c_str());
    form_->imeBazeClick();
    return;
  }
  if (code != BN_CLICKED) return;
  if (name == "Command4") form_->command4Click();
  if (name == "Command1") form_->command1Click();
  if (name == "Command2(0)") form_->command2Click(0);
  if (name == "Command2(1)") form_->command2Click(1);
  if (name == "Command3") form_->command3Click();
}

}  // namespace povezava::win32
