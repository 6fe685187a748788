// SPDX-License-Identifier: Apache-2.0
// The dialog that shows how far a long Run has come and lets the user end it.
#pragma once

#include <QProgressDialog>
#include <QString>

#include "window/common/run_view.h"

class QProgressBar;

namespace telltale {

// Names the file and shows the presenter's status line and bar. Cancel,
// Escape and the dialog's close button emit canceled().
//
// Not modal: a modal dialog would keep the window's close button from
// working; the window's input is dropped by an InputBlocker instead.
class RunProgressDialog final : public QProgressDialog {
  Q_OBJECT

 public:
  // Hidden until shown; `path` is the file as the user is shown it.
  RunProgressDialog(QWidget& window, const QString& path);

  void Update(const ProgressShown& shown);

  // Escape reaches the dialog as its cancel shortcut only while its window
  // is the active one; otherwise QDialog takes it as a rejection, which
  // would hide the dialog and leave the Run going. Either way it cancels.
  void reject() override;

 private:
  QProgressBar* bar_;  // owned by the dialog
  QString file_;       // the path as the label shows it
};

}  // namespace telltale
