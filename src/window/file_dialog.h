// The file-open dialog behind a small interface, so that tests can script
// what the user picks.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace povezava::window {

// The filters of the browse buttons (links::kDatabaseFilters) in Qt's form,
// separated by ";;", each pattern in every letter case.
QString databaseFilter();

class FileDialog {
 public:
  virtual ~FileDialog() = default;

  // Shows the modal open dialog in `folder` with `filter` ("Description (patterns)").
  // Returns the full path of the chosen file, or nothing when the user cancelled.
  virtual std::optional<QString> openFile(QWidget* parent, const QString& folder,
                                          const QString& filter) = 0;

 protected:
  FileDialog() = default;
  FileDialog(const FileDialog&) = default;
  FileDialog& operator=(const FileDialog&) = default;
};

// The platform's dialog (QFileDialog).
class QtFileDialog final : public FileDialog {
 public:
  std::optional<QString> openFile(QWidget* parent, const QString& folder,
                                  const QString& filter) override;
};

}  // namespace povezava::window
