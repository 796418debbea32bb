#include "win32/command_tail.h"

namespace povezava::win32 {

std::u16string_view commandTail(std::u16string_view commandLine) {
  std::size_t end = 0;
  if (!commandLine.empty() && commandLine.front() == u'"') {
    const std::size_t close = commandLine.find(u'"', 1);
    end = close == std::u16string_view::npos ? commandLine.size() : close + 1;
  } else {
    end = commandLine.find_first_of(u" \t");
    if (end == std::u16string_view::npos) end = commandLine.size();
  }
  // A quoted name may run straight into what follows ("C:\p\a.exe"x): the
  // rest starts right after the quote. Otherwise one blank or tab ends it.
  if (end < commandLine.size() && (commandLine[end] == u' ' || commandLine[end] == u'\t')) ++end;
  return commandLine.substr(end);
}

}  // namespace povezava::win32
