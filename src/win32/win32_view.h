// The native Windows view of the form (links/relink_form.h): one top-level
// window with the form's controls, placed from links/form_layout.h in pixels
// of the window's dpi, in Windows' dialog font (MS Shell Dlg 2, 8 pt: Tahoma).
// It only draws and forwards: every rule is the form's.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "links/form_layout.h"
#include "links/relink_form.h"
#include "win32/look.h"

namespace povezava::win32 {

class Win32View final : public links::FormView {
 public:
  explicit Win32View(HINSTANCE instance);
  ~Win32View() override;
  Win32View(const Win32View&) = delete;
  Win32View& operator=(const Win32View&) = delete;

  // Creates the window, hidden, with its controls. False when Windows refused.
  bool create();
  // The form the events go to. REQUIRES: set before the window is shown.
  void attach(links::RelinkForm& form) { form_ = &form; }
  // Shows the window, gives Text1(0) the focus and runs the event loop until
  // the window is gone.
  void run(int show);

  HWND window() const { return window_; }

  // links::FormView
  std::u16string text(links::Control control) const override;
  void setText(links::Control control, std::u16string_view text) override;
  std::optional<std::u16string> chooseDatabase(std::u16string_view folder) override;
  void showMessage(links::MessageKind kind, std::u16string_view text) override;
  void closeWindow() override;

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void createControls();
  // Places the controls and sets the font for `dpi`.
  void layOut(int dpi);
  void command(int id, int code);
  HWND control(links::Control control) const;
  HWND control(std::string_view name) const;

  HINSTANCE instance_;
  HWND window_ = nullptr;
  std::array<HWND, links::kControls.size()> controls_{};
  HFONT font_ = nullptr;
  int dpi_ = 96;
  HWND focus_ = nullptr;  // the control that had the focus when the window was deactivated
  links::RelinkForm* form_ = nullptr;
};

}  // namespace povezava::win32
