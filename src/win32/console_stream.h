// Where a window program's output and failures go: a GUI program has no
// console of its own. Its standard output or error when the starter gave it
// one (a redirection, a pipe, Wine's terminal); otherwise the console of the
// process that started it (cmd.exe, PowerShell), when there is one; otherwise
// nowhere.
#pragma once

#include <windows.h>

#include <ostream>
#include <streambuf>
#include <string>

namespace povezava::win32 {

// A stream of UTF-8 text that writes whole lines: to a console as UTF-16
// (WriteConsoleW, so that č, š and ž show in any code page), to a file or a
// pipe as the UTF-8 bytes themselves.
class ConsoleStream final : private std::streambuf, public std::ostream {
 public:
  // `which`: STD_OUTPUT_HANDLE or STD_ERROR_HANDLE. Finds the handle as
  // above; attaches to the parent's console when needed.
  explicit ConsoleStream(DWORD which);
  ~ConsoleStream() override;
  ConsoleStream(const ConsoleStream&) = delete;
  ConsoleStream& operator=(const ConsoleStream&) = delete;

  // True when what is written reaches someone.
  bool connected() const { return handle_ != nullptr; }

 private:
  int overflow(int c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;
  void write(const std::string& text);

  HANDLE handle_ = nullptr;
  bool console_ = false;
  std::string pending_;
};

}  // namespace povezava::win32
