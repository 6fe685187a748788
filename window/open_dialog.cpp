#include "window/open_dialog.h"

#include <QFileDialog>

namespace telltale {

std::optional<QString> ShowOpenDialog(QWidget& parent) {
  // No directory given: the dialog opens where the previous one was left.
  QFileDialog dialog(&parent, QStringLiteral("Choose a file to check"));
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
