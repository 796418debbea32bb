#include "win32/console_stream.h"

namespace povezava::win32 {
namespace {

bool usable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

ConsoleStream::ConsoleStream(DWORD which) : std::ostream(static_cast<std::streambuf*>(this)) {
  HANDLE handle = GetStdHandle(which);
  if (!usable(handle)) {
    // Fails when already attached (the other stream did it) or when the
    // parent has no console; CONOUT$ then tells which.
    AttachConsole(ATTACH_PARENT_PROCESS);
    handle = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  }
  if (!usable(handle)) return;
  handle_ = handle;
  DWORD mode = 0;
  console_ = GetConsoleMode(handle_, &mode) != 0;
}

ConsoleStream::~ConsoleStream() { (void)sync(); }

int ConsoleStream::overflow(int c) {
  if (c == std::streambuf::traits_type::eof()) return std::streambuf::traits_type::not_eof(c);
  pending_.push_back(static_cast<char>(c));
  if (c == '\n') (void)sync();
  return c;
}

std::streamsize ConsoleStream::xsputn(const char* text, std::streamsize count) {
  pending_.append(text, static_cast<std::size_t>(count));
  if (pending_.find('\n') != std::string::npos) (void)sync();
  return count;
}

int ConsoleStream::sync() {
  if (!pending_.empty()) write(pending_);
  pending_.clear();
  return 0;
}

void ConsoleStream::write(const std::string& text) {
  if (handle_ == nullptr) return;
  if (!console_) {
    DWORD written = 0;
    WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  // A console line ends in CR LF.
  std::string lines;
  for (const char c : text) {
    if (c == '\n') lines.push_back('\r');
    lines.push_back(c);
  }
  const int length = MultiByteToWideChar(CP_UTF8, 0, lines.data(), static_cast<int>(lines.size()), nullptr, 0);
  if (length <= 0) return;
  std::wstring utf16(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, lines.data(), static_cast<int>(lines.size()), utf16.data(), length);
  DWORD written = 0;
  WriteConsoleW(handle_, utf16.data(), static_cast<DWORD>(utf16.size()), &written, nullptr);
}

}  // namespace povezava::win32
