// What the window tests share: a scripted file dialog, message boxes that
// record instead of block, and a window built around them.
//
// Header-only: the test folder builds from *_test.cpp files.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "links/program.h"
#include "paths/path_map.h"
#include "platform/file_system.h"
#include "window/file_dialog.h"
#include "window/messages.h"
#include "window/morvane.h"

// QStrings in test failures read as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace povezava::window::testing {

// Answers each open with the next scripted answer (nothing = cancel) and
// records how it was asked.
class ScriptedDialog final : public FileDialog {
 public:
  std::deque<std::optional<QString>> answers;
  QStringList folders;
  QStringList filters;
  int opened = 0;

  std::optional<QString> openFile(QWidget*, const QString& folder, const QString& filter) override {
    ++opened;
    folders << folder;
    filters << filter;
    if (answers.empty()) return std::nullopt;
    std::optional<QString> answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class RecordingBoxes final : public MessageBoxes {
 public:
  QStringList texts;
  std::vector<links::MessageKind> kinds;
  void show(QWidget*, links::MessageKind kind, const QString&, const QString& text) override {
    texts << text;
    kinds.push_back(kind);
  }
};

// A window with its surroundings. `display` false: no message boxes.
struct Harness {
  ScriptedDialog dialog;
  RecordingBoxes boxes;
  std::ostringstream errors;
  // The program's path map and notices; its engine when the test gives none.
  links::Program program{engine::posixFileSystem()};
  std::unique_ptr<morvane> window;

  // Over `engine` (a fake), with the path map `map`.
  Harness(engine::DBEngine& engine, const QString& appPath, const QString& commandText = {},
          bool display = true, engine::PathMap map = {}) {
    make(engine, appPath, commandText, display, std::move(map));
  }
  // Over the program's own engine, on real files.
  explicit Harness(const QString& appPath, engine::PathMap map = {}) {
    make(program.engine(), appPath, {}, true, std::move(map));
  }

  void make(engine::DBEngine& engine, const QString& appPath, const QString& commandText, bool display,
            engine::PathMap map) {
    program.paths().setMap(std::move(map));
    Environment env;
    env.engine = &engine;
    env.program = &program;
    env.appPath = appPath;
    env.commandText = commandText;
    env.dialog = &dialog;
    env.boxes = display ? &boxes : nullptr;
    env.errors = &errors;
    window = std::make_unique<morvane>(env);
  }

  template <typename T>
  T* control(const char* name) const {
    return window->findChild<T*>(QString::fromLatin1(name));
  }
  QComboBox* imeBaze() const { return control<QComboBox>("ImeBaze"); }
  QString text(const char* box) const { return control<QPlainTextEdit>(box)->toPlainText(); }
  void setText(const char* box, const QString& text) const {
    control<QPlainTextEdit>(box)->setPlainText(text);
  }
  QString imetab() const { return control<QLineEdit>("imetab")->text(); }
  void click(const char* button) const { control<QPushButton>(button)->click(); }
};

}  // namespace povezava::window::testing
