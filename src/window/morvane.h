// morvane: the program's one window. It builds the controls as the form lays
// them out and wires each event to one short handler; what a handler decides
// lives in links/ and text/.
//
// Handlers are named after control and event. The ones the event loop enters
// (button clicks, picking a list entry, activation, closing) report an error
// that escapes them the way the runtime reports it (reportError) and the
// program keeps running. Handlers that others call directly return their
// Status to the caller: Load and the ImeBaze click run command4Click,
// Activate runs command1Click.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstddef>
#include <iosfwd>
#include <string_view>

#include "engine/engine.h"
#include "links/window_state.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace povezava::window {

class FileDialog;
class MessageBoxes;

// What the window needs from its surroundings.
struct Environment {
  engine::DBEngine* engine = nullptr;  // the process's engine
  QString appPath;                     // folder of the executable, no final separator
  QString commandText;                 // the program's arguments joined with single spaces
  FileDialog* dialog = nullptr;        // the open dialog of the browse buttons
  MessageBoxes* boxes = nullptr;       // message boxes; null when there is no display
  std::ostream* errors = nullptr;      // where every failure is written (stderr)
};

class morvane final : public QWidget {
  Q_OBJECT

 public:
  // Creates the controls; runs nothing (formLoad does).
  // REQUIRES: env.engine, env.dialog and env.errors are set and outlive the window.
  explicit morvane(Environment env, QWidget* parent = nullptr);

  // Load: start-up. Puts the default front-end into ImeBaze, reads the command
  // text, runs the first inspection; with arguments it proposes the link
  // strings of the back-end location and asks for the automatic relink.
  // Returns the first inspection's failure, unreported: the caller decides
  // whether the window shows.
  [[nodiscard]] engine::Status formLoad();
  // Activate: the automatic relink, once.
  void formActivate();
  // Unload: closes the front-end database; never refuses.
  [[nodiscard]] engine::Status formUnload();

  // "Osveži": link inspection of the front-end named in ImeBaze.
  [[nodiscard]] engine::Status command4Click();
  // A list entry of ImeBaze was picked: the same inspection.
  [[nodiscard]] engine::Status imeBazeClick();
  // "Nova povezava": relinking, then the window closes. With no front-end
  // open (none inspected yet, or the latest open failed) it writes nothing,
  // says so and the window stays.
  void command1Click();
  // "Prebrskaj" beside Text2(index): a back-end database's link string.
  void command2Click(int index);
  // "Prebrskaj" beside ImeBaze: the front-end database's path.
  void command3Click();

  // The runtime's report of an error that escaped a handler: the error's number
  // and description on stderr and, with a display and outside a command-line
  // run, in a message box.
  void reportError(const engine::Status& status);
  // What the engine noticed while a handler ran (an interrupted relink
  // pending or undone, a journal moved aside): stderr, and a box when the
  // window is used interactively.
  void reportNotices();

  // True when the command line asked for the automatic relink (a run started
  // with arguments).
  bool commandLineRun() const { return commandLineRun_; }
  // The process's exit status once the window is gone: 1 when a bound table
  // was not relinked or the database did not close cleanly, 0 otherwise.
  int exitStatus() const { return failed_ ? 1 : 0; }

  const links::WindowState& state() const { return state_; }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void placeControls();
  void setTabOrder();
  QPushButton* makeButton(const char* name, const QString& text);
  QPlainTextEdit* makeMultiLineBox(const char* name);

  links::WindowTexts texts() const;
  void setTexts(const links::WindowTexts& texts);
  // How a box takes a text it may show already.
  enum class Rewrite {
    always,       // set anew: the cursor goes to the start, the undo history is cleared
    whenChanged,  // left alone when it shows the text already, so it keeps its cursor
  };
  static void setBoxText(QPlainTextEdit* box, const QString& text, Rewrite rewrite);
  // Puts a link string into Text2(box): the one way link strings reach the boxes.
  void showLink(std::size_t box, std::u16string_view link, Rewrite rewrite);
  void setImeBaze(const QString& text);
  // A message box, when there is a display and no command-line run.
  void showBox(const QString& text);

  Environment env_;
  links::WindowState state_;
  bool commandLineRun_ = false;
  bool unloaded_ = false;
  bool failed_ = false;

  // In creation order.
  QComboBox* ImeBaze_ = nullptr;
  std::array<QPlainTextEdit*, 2> Text1_{};
  std::array<QPushButton*, 2> Command2_{};
  std::array<QPlainTextEdit*, 2> Text2_{};
  QPushButton* Command4_ = nullptr;
  QLineEdit* imetab_ = nullptr;
  QPushButton* Command3_ = nullptr;
  QPushButton* Command1_ = nullptr;
  QLabel* Label2_ = nullptr;
  QLabel* Label1_ = nullptr;
  QLabel* Baza_ = nullptr;
};

}  // namespace povezava::window
