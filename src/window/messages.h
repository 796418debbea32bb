// How the window tells the user something that needs an answer: a modal
// message box, behind an interface so that tests record instead of block.
// Without a display the window is given none and writes to stderr only.
#pragma once

#include <QString>
#include <iosfwd>
#include <string_view>

#include "links/relink_form.h"

class QWidget;

namespace povezava::window {

// Writes "povezava: LINE" and a newline to `errors` (stderr), at once: every
// failure the program reports goes there, with or without a box.
void writeErrorLine(std::ostream& errors, std::string_view line);

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;

  // A modal box with the icon of `kind`; returns when the user closed it.
  virtual void show(QWidget* parent, links::MessageKind kind, const QString& title, const QString& text) = 0;

 protected:
  MessageBoxes() = default;
  MessageBoxes(const MessageBoxes&) = default;
  MessageBoxes& operator=(const MessageBoxes&) = default;
};

// QMessageBox.
class QtMessageBoxes final : public MessageBoxes {
 public:
  void show(QWidget* parent, links::MessageKind kind, const QString& title, const QString& text) override;
};

}  // namespace povezava::window
