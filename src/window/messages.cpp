#include "window/messages.h"

#include <QMessageBox>
#include <ostream>

namespace povezava::window {

void writeErrorLine(std::ostream& errors, std::string_view line) {
  errors << "povezava: " << line << '\n';
  errors.flush();
}

void QtMessageBoxes::show(QWidget* parent, links::MessageKind kind, const QString& title, const QString& text) {
  switch (kind) {
    case links::MessageKind::information: QMessageBox::information(parent, title, text); return;
    case links::MessageKind::warning: QMessageBox::warning(parent, title, text); return;
    case links::MessageKind::error: QMessageBox::critical(parent, title, text); return;
  }
}

}  // namespace povezava::window
