// povezava.exe: the clerk's window on Windows. Started with a front-end and a
// back-end location it relinks by itself and ends; its exit status says
// whether it worked, and its failures go to the console it was started from.
#include <windows.h>

#include <optional>
#include <string>

#include "links/program.h"
#include "links/relink_form.h"
#include "platform/file_system.h"
#include "win32/command_tail.h"
#include "win32/console_stream.h"
#include "win32/win32_view.h"

namespace {

// The folder of the running .exe (App.Path), without a final backslash.
std::u16string programFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  path.resize(path.rfind(L'\\') == std::wstring::npos ? 0 : path.rfind(L'\\'));
  return {path.begin(), path.end()};
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  using namespace povezava;
  const std::wstring_view line = GetCommandLineW();
  const std::u16string commandText(win32::commandTail(std::u16string(line.begin(), line.end())));

  win32::ConsoleStream errors(STD_ERROR_HANDLE);
  {
    win32::ConsoleStream out(STD_OUTPUT_HANDLE);
    if (const std::optional<int> status = links::answerProgramRequest(commandText, POVEZAVA_VERSION, out)) {
      return *status;
    }
  }

  win32::Win32View view(instance);
  if (!view.create()) {
    errors << "povezava: Windows refused to create the window (error " << GetLastError() << ")\n";
    return 1;
  }
  // The one engine of the program, over the real file system.
  links::Program program(engine::posixFileSystem());
  links::FormEnvironment env;
  env.engine = &program.engine();
  env.program = &program;
  env.programFolder = programFolder();
  env.commandText = commandText;
  env.display = true;
  env.errors = &errors;
  links::RelinkForm form(view, env);
  view.attach(form);
  if (const std::optional<int> status = form.formLoad()) return *status;
  view.run(show);
  return form.exitStatus();
}
