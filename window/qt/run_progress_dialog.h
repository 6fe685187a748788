// The dialog that shows how far a long Run has come and lets the user end it.
#pragma once

#include <QProgressDialog>
#include <QString>
#include <QTimer>

class QProgressBar;

namespace telltale {

class BackgroundRun;

// Appears once `run` has gone on for half a second, naming the file and
// showing the bytes read of the bytes to read. Cancel, Escape and the
// dialog's close button ask the Run to stop.
//
// Not modal: a modal dialog would keep the window's close button from
// working; the window's input is dropped by an InputBlocker instead.
class RunProgressDialog final : public QProgressDialog {
  Q_OBJECT

 public:
  RunProgressDialog(QWidget& window, const QString& path, BackgroundRun& run);

  // Escape reaches the dialog as its cancel shortcut only while its window
  // is the active one; otherwise QDialog takes it as a rejection, which
  // would hide the dialog and leave the Run going. Either way it cancels.
  void reject() override;

 private:
  void Update();

  BackgroundRun& run_;
  QProgressBar* bar_;  // owned by the dialog
  QString file_;       // the path as the label shows it
  QTimer poll_;
};

}  // namespace telltale
