// SPDX-License-Identifier: Apache-2.0
#include "window/qt/open_dialog.h"

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
  // Nor does it change any. Qt's own dialog renames and deletes files from
  // its context menu and its Delete key, and makes folders from that menu and
  // its New Folder button; read-only, it offers none of these, and its file
  // system model takes no edited name and no files dragged onto a folder.
  // A desktop's own dialog, which Qt would otherwise show through the
  // platform theme, ignores the option and has Rename and Delete of its own:
  // Qt's dialog is used everywhere, so that no choice of file can change one.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::ReadOnly);
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
