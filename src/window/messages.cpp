#include "window/messages.h"

#include <QMessageBox>

namespace povezava::window {

void QtMessageBoxes::showError(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::critical(parent, title, text);
}

}  // namespace povezava::window
