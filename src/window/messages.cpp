#include "window/messages.h"

#include <QMessageBox>
#include <ostream>

namespace povezava::window {

void writeErrorLine(std::ostream& errors, std::string_view line) {
  errors << "povezava: " << line << '\n';
  errors.flush();
}

void QtMessageBoxes::showError(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::critical(parent, title, text);
}

}  // namespace povezava::window
