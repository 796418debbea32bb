#include "window/file_dialog.h"

#include <QFileDialog>
#include <QStringList>

namespace povezava::window {

QString databaseFilter() {
  // Patterns in every letter case: Qt's dialog matches case-sensitively on
  // Linux file systems.
  return QString::fromLatin1(kDatabaseFilterDescription) + QStringLiteral("(*.[mM][dD][bB])") +
         QStringLiteral(";;Podatkovna baza Access 2007 (*.[aA][cC][cC][dD][bB])") +
         QStringLiteral(";;Vse datoteke (*)");
}

std::optional<QString> QtFileDialog::openFile(QWidget* parent, const QString& folder,
                                              const QString& filter) {
  QFileDialog dialog(parent, QString(), folder, filter);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.front();
}

}  // namespace povezava::window
