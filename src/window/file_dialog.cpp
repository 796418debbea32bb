#include "window/file_dialog.h"

#include <QFileDialog>
#include <QStringList>

#include "links/form_layout.h"

namespace povezava::window {

QString databaseFilter() {
  // Patterns in every letter case: Qt's dialog matches case-sensitively on
  // Linux file systems ("*.mdb" becomes "*.[mM][dD][bB]").
  QStringList filters;
  for (const links::FileFilter& filter : links::kDatabaseFilters) {
    QString pattern;
    for (const char16_t c : filter.patterns) {
      const QChar ch(c);
      pattern += ch.isLetter() ? QStringLiteral("[%1%2]").arg(ch.toLower()).arg(ch.toUpper()) : QString(ch);
    }
    filters << QString::fromUtf16(filter.description.data(), static_cast<qsizetype>(filter.description.size())) +
                   QLatin1Char('(') + pattern + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
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
