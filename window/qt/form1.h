// Telltale's main window: the Run button, the results box, the instructions,
// the logo and the three information lines.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "window/common/form1_layout.h"
#include "window/common/run_failure.h"

class QCloseEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace telltale {

// Asks the user for the file to scan, starting in `folder`; empty when the
// user cancelled.
using ChooseFile = std::function<std::optional<QString>(QWidget& parent, const QString& folder)>;
// Tells the user that a Run failed; returns when the user has taken note.
using ReportFailure = std::function<void(QWidget& parent, const RunFailure& failure)>;

class Form1 : public QWidget {
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
  // A Run going on, with all it holds; destroying it ends the Run.
  struct ActiveRun;

  // The controls of the layout table, in its order, and the Tab order it gives.
  void CreateControls();
  void SetTabOrder();
  // Asks for a file and starts scanning it on a thread of its own. Until the
  // Run ends the window repaints but takes no input, and a progress dialog
  // appears should the Run take a while.
  void OnRunClicked();
  // The results box gets the last report, or the reason the file could not
  // be scanned; a failure is then reported, unless the user cancelled.
  void OnRunFinished();
  // Any edit of the logo notice empties it.
  void OnLogoNoticeChanged();

  ChooseFile cdlTest_;
  ReportFailure report_failure_;
  // One per entry of the layout table, in its order.
  std::array<QWidget*, form1::kControls.size()> controls_{};
  QPushButton* cmdTest_ = nullptr;
  QPlainTextEdit* txtResults_ = nullptr;
  QLineEdit* Text3_ = nullptr;
  // Where the Open dialog starts: the home folder, then the folder of the
  // file scanned last, however it was chosen.
  QString dialog_folder_;
  std::unique_ptr<ActiveRun> run_;
};

}  // namespace telltale
