// morvane: the program's one window, the Qt view of the form
// (links/relink_form.h). It builds the controls as the form lays them out
// (links/form_layout.h), forwards each event to the form's handler of the same
// name and does what the form asks of a view: read and write the controls'
// texts, ask for a file, show a message, close. Every rule lives in the form.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "paths/path_map_sources.h"
#include "links/relink_form.h"
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
  engine::DBEngine* engine = nullptr;  // the program's engine
  links::Program* program = nullptr;   // its path map and notices (links/relink_form.h)
  QString appPath;                     // folder of the executable, no final separator
  QString commandText;                 // the program's arguments joined with single spaces
  FileDialog* dialog = nullptr;        // the open dialog of the browse buttons
  MessageBoxes* boxes = nullptr;       // message boxes; null when there is no display
  std::ostream* errors = nullptr;      // where every failure is written (stderr)
  // The Windows path map's sources, loaded by Load into the program's; null
  // keeps the map as it is.
  const engine::PathMapSources* pathMapSources = nullptr;
};

class morvane final : public QWidget, private links::FormView {
  Q_OBJECT

 public:
  // Creates the controls; runs nothing (formLoad does).
  // REQUIRES: env.engine, env.dialog and env.errors are set and outlive the window.
  explicit morvane(Environment env, QWidget* parent = nullptr);

  // The form's handlers (links::RelinkForm), as the events run them.
  [[nodiscard]] std::optional<int> formLoad() { return form_.formLoad(); }
  void formActivate() { form_.formActivate(); }
  void formUnload() { form_.formUnload(); }
  void command4Click() { form_.command4Click(); }
  void imeBazeClick() { form_.imeBazeClick(); }
  void command1Click() { form_.command1Click(); }
  void command2Click(int index) { form_.command2Click(index); }
  void command3Click() { form_.command3Click(); }

  bool commandLineRun() const { return form_.commandLineRun(); }
  int exitStatus() const { return form_.exitStatus(); }
  const links::WindowState& state() const { return form_.state(); }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // links::FormView
  std::u16string text(links::Control control) const override;
  void setText(links::Control control, std::u16string_view text) override;
  std::optional<std::u16string> chooseDatabase(std::u16string_view folder) override;
  void showMessage(links::MessageKind kind, std::u16string_view text) override;
  void closeWindow() override;

  void createControls();
  void placeControls();
  void setTabOrder();
  QPushButton* makeButton(const char* name);
  QPlainTextEdit* makeMultiLineBox(const char* name);

  Environment env_;
  links::RelinkForm form_;

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
