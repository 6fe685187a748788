// SPDX-License-Identifier: Apache-2.0
// A Form1 whose Open dialog and failure box are stand-ins, so that tests can
// press Run without anybody at the screen.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <optional>
#include <vector>

#include "window/qt/form1.h"

namespace telltale::testing {

// A failure as the window reported it, in the window's strings.
struct ReportedFailure {
  QString path;
  int number = 0;
  QString description;
};

class Form1Harness {
 public:
  Form1Harness()
      : form([this](QWidget& parent, const QString& folder) { return Choose(parent, folder); },
             [this](QWidget& parent, const RunFailure& failure) { Report(parent, failure); }) {}

  // Shows the window and waits until it has the keyboard.
  bool ShowActive() {
    form.show();
    form.activateWindow();
    return QTest::qWaitForWindowActive(&form);
  }

  // The answer of the next dialog: a path, or nullopt for Cancel.
  void AnswerDialog(std::optional<QString> answer) { answers.push_back(std::move(answer)); }

  // A file in a directory of its own, removed with the harness.
  QString WriteFile(const QString& name, const QByteArray& content) const {
    QString path = QDir(directory.path()).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
      qFatal("cannot write %s", qPrintable(path));
    }
    return path;
  }

  // A file of `size` zero bytes that take no room on disk: reading them goes
  // at memory speed, yet a large one keeps a Run going for many seconds.
  QString WriteSparseFile(const QString& name, qint64 size) const {
    QString path = QDir(directory.path()).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size)) {
      qFatal("cannot make %s", qPrintable(path));
    }
    return path;
  }

  // Waits until `runs` Runs have ended in all. A Run that never ends fails
  // the test after a minute instead of hanging it.
  [[nodiscard]] bool WaitForRuns(qsizetype runs) {
    return QTest::qWaitFor([&] { return finished.count() >= runs; }, 60'000);
  }

  // The progress dialog of the Run going on, once it shows.
  [[nodiscard]] QProgressDialog* Progress() const {
    auto* dialog = form.findChild<QProgressDialog*>("runProgress");
    return dialog != nullptr && dialog->isVisible() ? dialog : nullptr;
  }

  // Waits for the progress dialog, then presses its Cancel button.
  [[nodiscard]] bool CancelRun() const {
    if (!QTest::qWaitFor([&] { return Progress() != nullptr; }, 60'000)) {
      return false;
    }
    QTest::mouseClick(Progress()->findChild<QPushButton*>(), Qt::LeftButton);
    return true;
  }

  [[nodiscard]] QPushButton* Run() const { return form.findChild<QPushButton*>("cmdTest"); }
  [[nodiscard]] QPlainTextEdit* Results() const {
    return form.findChild<QPlainTextEdit*>("txtResults");
  }
  [[nodiscard]] QLineEdit* Line(const char* name) const { return form.findChild<QLineEdit*>(name); }

  QTemporaryDir directory;
  Form1 form;
  QSignalSpy finished{&form, &Form1::runFinished};
  std::deque<std::optional<QString>> answers;
  int dialogs_shown = 0;
  std::vector<ReportedFailure> failures;
  std::vector<QString> dialog_folders;  // where each dialog was asked to start
  // Whether the busy cursor was still up when the failure box was shown.
  bool busy_during_report = false;

 private:
  std::optional<QString> Choose(QWidget& parent, const QString& folder) {
    ++dialogs_shown;
    dialog_folders.push_back(folder);
    if (&parent != &form || answers.empty()) {
      qFatal("a dialog nobody expected");
    }
    std::optional<QString> answer = answers.front();
    answers.pop_front();
    return answer;
  }

  void Report(QWidget& parent, const RunFailure& failure) {
    if (&parent != &form) {
      qFatal("a failure box without the window as parent");
    }
    busy_during_report = QGuiApplication::overrideCursor() != nullptr;
    failures.push_back({QFile::decodeName(QByteArray::fromStdString(failure.path)), failure.number,
                        QString::fromStdString(failure.description)});
  }
};

}  // namespace telltale::testing
