// SPDX-License-Identifier: Apache-2.0
// Telltale's main window: the Run button, the results box, the instructions,
// the logo and the three information lines.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "window/common/form1_layout.h"
#include "window/common/run_failure.h"
#include "window/common/run_presenter.h"
#include "window/common/run_view.h"

class QCloseEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace telltale {

class RunProgressDialog;

// Asks the user for the file to scan, starting in `folder`; empty when the
// user cancelled.
using ChooseFile = std::function<std::optional<QString>(QWidget& parent, const QString& folder)>;
// Tells the user that a Run failed; returns when the user has taken note.
using ReportFailure = std::function<void(QWidget& parent, const RunFailure& failure)>;

// Draws what its RunPresenter decides about a Run, and forwards the user's
// acts to it.
class Form1 : public QWidget, private RunView {
  Q_OBJECT

 public:
  // The window as the program shows it: the platform's Open dialog and a
  // message box for failures.
  explicit Form1(QWidget* parent = nullptr);
  // The same window with another way to choose a file and report a failure.
  Form1(ChooseFile choose_file, ReportFailure report_failure, QWidget* parent = nullptr);
  // A Run still going is stopped and waited for.
  ~Form1() override;

  // Starts a Run on `path`, the file name's bytes exactly as the system
  // knows them, as if the file had been chosen in the Open dialog. Nothing
  // happens while a Run is going.
  void StartRun(const std::string& path);

 signals:
  // A Run has ended and the results box shows how; a failure other than a
  // cancel has been reported. Also emitted when closing the window ended a Run.
  void runFinished();

 protected:
  // Closing the window during a Run stops the Run and waits for it: it ends
  // before its next read.
  void closeEvent(QCloseEvent* event) override;
  // One local file dragged onto the window, anywhere on it, its text boxes
  // included, is taken with the copy cursor and scanned when dropped, under
  // its name's bytes as the URI list gives them; anything else is refused, as
  // is any drop during a Run. No drop edits a box.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // What the window holds while busy; destroying it gives the input back.
  struct Busy;

  // The controls of the layout table, in its order, and the Tab order it gives.
  void CreateControls();
  void SetTabOrder();
  // Posted by PostRunFinished(), by name.
  Q_INVOKABLE void OnRunFinished();
  // Any edit of the logo notice empties it.
  void OnLogoNoticeChanged();

  // RunView
  std::optional<std::string> AskForFile(const std::string& folder) override;
  void SetBusy(bool busy) override;
  void StartTicks(std::chrono::milliseconds every) override;
  void StopTicks() override;
  void ShowProgress(const ProgressShown& shown) override;
  void HideProgress() override;
  void SetResults(const std::string& text) override;
  void ShowFailureBox(const RunFailure& failure) override;
  void PostRunFinished() override;

  ChooseFile cdlTest_;
  ReportFailure report_failure_;
  // One per entry of the layout table, in its order.
  std::array<QWidget*, form1::kControls.size()> controls_{};
  QPushButton* cmdTest_ = nullptr;
  QPlainTextEdit* txtResults_ = nullptr;
  QLineEdit* Text3_ = nullptr;
  std::unique_ptr<Busy> busy_;
  std::unique_ptr<RunProgressDialog> progress_;
  QTimer ticks_;
  // Last, so that a Run still going is stopped and joined before the rest goes.
  RunPresenter presenter_;
};

}  // namespace telltale
