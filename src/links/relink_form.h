// The clerk's window without a toolkit: every rule of the window lives here,
// and a view (the Qt window, the native Windows window) only draws controls,
// forwards their events to the handlers below and does what FormView asks.
//
// The form owns the window state (WindowState) and the process's exit status.
// It reads and writes the controls' texts through the view, asks it for a
// file, has it show a message and close. What the form shows is Slovenian
// (links/clerk_texts.h); what it writes to `errors` (stderr) is English, for
// scripts and logs.
//
// How a view drives the form:
//   1. Build the controls from links/form_layout.h (places, captions, the
//      preset list of ImeBaze, the file filters, the caption of the window).
//   2. Call formLoad(). When it returns an exit status, end the process with
//      it: the window is never shown.
//   3. Show the window. Call formActivate() each time the window becomes the
//      active window, and once more from the event loop right after showing
//      it (some platforms never activate a window); it runs at most once.
//   4. Forward the clicks: Command4 (Osveži), Command1 (Nova povezava),
//      Command2(0)/(1), Command3, and picking an entry of ImeBaze's list
//      (imeBazeClick, after the entry's text is in the edit field). Typing in
//      ImeBaze runs nothing (no Enter, no mouse wheel stepping the list).
//   5. When the user closes the window, call formUnload() and let it close
//      (never refuse). When the form calls closeWindow(), close the window
//      and end the event loop; formUnload() has run already, and calling it
//      again does nothing.
//   6. End the process with exitStatus().
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "links/program.h"
#include "paths/path_map_sources.h"
#include "links/window_state.h"

namespace povezava::links {

// The controls whose text the form reads or writes.
enum class Control {
  ImeBaze,  // the combo box's edit text
  imetab,
  Text1_0,
  Text1_1,
  Text2_0,
  Text2_1,
};

// Text1(i), Text2(i) for i = 0, 1.
Control text1(std::size_t index);
Control text2(std::size_t index);

// The icon a message box carries.
enum class MessageKind {
  information,  // something the clerk should know; nothing failed
  warning,      // nothing was done, and why; the clerk can put it right
  error,        // something failed
};

class FormView {
 public:
  virtual ~FormView() = default;

  // The text the control shows now.
  virtual std::u16string text(Control control) const = 0;
  // Shows `text` in the control. A control that shows it already is left as
  // it is (its cursor stays).
  virtual void setText(Control control, std::u16string_view text) = 0;
  // The modal open dialog with the filters of kDatabaseFilters (the first
  // chosen), starting in `folder`. The full path of the chosen file, or
  // nothing when the clerk cancelled.
  virtual std::optional<std::u16string> chooseDatabase(std::u16string_view folder) = 0;
  // A modal message box with the window's caption (kWindowCaption), `text`
  // (lines separated by "\n") and the icon of `kind`; returns when closed.
  virtual void showMessage(MessageKind kind, std::u16string_view text) = 0;
  // Closes the window; the event loop ends and the process exits with the
  // form's exitStatus().
  virtual void closeWindow() = 0;

 protected:
  FormView() = default;
  FormView(const FormView&) = default;
  FormView& operator=(const FormView&) = default;
};

// What the form needs from the process.
struct FormEnvironment {
  engine::DBEngine* engine = nullptr;  // the program's engine
  // The program (links/program.h): its path map, its notices and the file
  // system paths files are read from. Null (tests with an engine of their
  // own): no map, no notices.
  Program* program = nullptr;
  std::u16string programFolder;        // folder of the executable, no final separator
  std::u16string commandText;          // the arguments joined with single spaces
  bool display = true;                 // a person can see the window and its messages
  std::ostream* errors = nullptr;      // stderr: every failure and notice, in English
  // The sources of the Windows path map, loaded by formLoad() into the
  // program's before anything is opened; null leaves the map as it is.
  const engine::PathMapSources* pathMapSources = nullptr;
};

// "povezava --help" and "povezava --version": the usage or "povezava VERSION"
// on `out` and the exit status 0. Nothing (a run) for any other command text.
std::optional<int> answerProgramRequest(std::u16string_view commandText, std::string_view version,
                                        std::ostream& out);

// True when `programFolder` is a folder programs are installed into, which
// never holds the clerk's databases: under /usr, /opt or /snap on Linux; a
// "Program Files" or "Program Files (x86)" folder on Windows (any letter case,
// "\" or "/"). Proposals and browsing then start from the front-end's folder.
bool isSystemFolder(std::u16string_view programFolder);

class RelinkForm {
 public:
  // REQUIRES: env.engine and env.errors are set and outlive the form.
  RelinkForm(FormView& view, FormEnvironment env);

  // Load: the path map, ImeBaze = "TQ.mdB", the command line, the first
  // inspection. Nothing: show the window. An exit status: end the process
  // with it, without showing the window (2: no display and no arguments, or
  // a wrong paths file; 1: a command-line run whose front-end could not be
  // inspected; the reason is on `errors`).
  [[nodiscard]] std::optional<int> formLoad();
  // Activate: the automatic relink, at most once.
  void formActivate();
  // Unload: closes the front-end, once; never refuses.
  void formUnload();

  // "Osveži": inspects the front-end named in ImeBaze; warns when Access has
  // it open (a lock file beside it).
  void command4Click();
  // An entry of ImeBaze's list was picked: the same as command4Click.
  void imeBazeClick();
  // "Nova povezava": relinks the three tables of the inspected front-end, all
  // or none, then closes the window. Refuses (writes nothing, the window
  // stays) when no front-end is open, when ImeBaze no longer names the file
  // inspected last, or when the front-end has none of the three tables.
  void command1Click();
  // "Prebrskaj" beside Text2(index), index 0 or 1: a back-end's link string.
  void command2Click(int index);
  // "Prebrskaj" beside ImeBaze: the front-end's path.
  void command3Click();

  // True when the command line asked for the automatic relink.
  bool commandLineRun() const { return commandLineRun_; }
  // 0 when the program did what it was asked, 1 otherwise.
  int exitStatus() const { return failed_ ? 1 : 0; }
  // True once formUnload() ran.
  bool unloaded() const { return unloaded_; }
  const WindowState& state() const { return state_; }

 private:
  // Inspection of the front-end named in ImeBaze, as Osveži, a list entry
  // and Load run it; the failure unreported.
  engine::Status inspect();
  // English on `errors` (when given) and, interactively, a box in Slovenian.
  void say(MessageKind kind, std::u16string_view slovenian, std::string_view english);
  void reportFailure(const engine::Status& status);
  void reportNotices();
  // Nothing was written: says why; a command-line run ends.
  void refuse(MessageKind kind, std::u16string_view slovenian, std::string_view english);
  void closeAfterRelink();
  WindowTexts readTexts() const;
  void writeTexts(const WindowTexts& before, const WindowTexts& after);
  // Where proposals and browsing start.
  std::u16string proposalFolder(std::u16string_view frontEnd) const;
  std::u16string browseFolder() const;
  // The program's path map; an empty one without a program.
  const engine::PathMap& pathMap() const;

  FormView& view_;
  FormEnvironment env_;
  WindowState state_;
  // The file the latest successful inspection opened, to tell whether
  // ImeBaze still names it.
  std::optional<std::u16string> inspectedName_;
  bool commandLineRun_ = false;
  bool unloaded_ = false;
  bool failed_ = false;
};

}  // namespace povezava::links
