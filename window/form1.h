// Telltale's main window: the Run button, the results box, the instructions,
// the logo and the three information lines.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "window/run_failure.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace telltale {

// Asks the user for the file to scan; empty when the user cancelled.
using ChooseFile = std::function<std::optional<QString>(QWidget& parent)>;
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

 private:
  void CreateControls();
  void SetTabOrder();
  // Asks for a file and scans it; the results box ends with the last report,
  // or with the reason the file could not be scanned.
  void OnRunClicked();
  // Any edit of the logo notice empties it.
  void OnLogoNoticeChanged();

  ChooseFile cdlTest_;
  ReportFailure report_failure_;
  QLabel* Label1_ = nullptr;
  QPushButton* cmdTest_ = nullptr;
  QPlainTextEdit* txtResults_ = nullptr;
  QLineEdit* Text1_ = nullptr;
  QLineEdit* Text3_ = nullptr;
  QLineEdit* Text2_ = nullptr;
  QLabel* Image1_ = nullptr;
};

}  // namespace telltale
