#include "window/open_dialog.h"

#include <QFileDialog>
#include <QSettings>

namespace telltale {

std::optional<QString> ShowOpenDialog(QWidget& parent, const QString& folder) {
  // Qt's own file dialog keeps its history and sidebar in a settings file of
  // the user's. This program writes no file: such settings go to a folder
  // that cannot exist, and are lost.
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("/dev/null"));

  QFileDialog dialog(&parent, QStringLiteral("Choose a file to check"), folder);
  dialog.setObjectName(QStringLiteral("cdlTest"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted) {
    return std::nullopt;
  }
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) {
    return std::nullopt;
  }
  return files.front();
}

}  // namespace telltale
