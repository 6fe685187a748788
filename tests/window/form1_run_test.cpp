// SPDX-License-Identifier: Apache-2.0
// Pressing Run: every way of pressing it, the texts a Run leaves in the results
// box, cancelling the dialog, failing Runs, and the window during a long Run.
#include <sys/stat.h>

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <system_error>

#include "form1_harness.h"
#include "telltale/scan_error.h"
#include "window/qt/failure_box.h"
#include "window/qt/results_box_text.h"

namespace telltale::testing {
namespace {

const QByteArray kJpegStart = QByteArray::fromHex("FFD8FFE000104A464946");
const QString kNothingFound = QStringLiteral(" to be opened. Sorry no Steg found.");
// Sparse zeros are read at several GB/s: a file this large keeps a Run going
// for many seconds, long after the checks made during it.
constexpr qint64 kLongRunBytes = qint64{64} << 30;

QString FindingShown(int position, const char* tool) {
  return QStringLiteral("\nSteganography found at marker position %1\n%2 program detected!")
      .arg(position)
      .arg(QLatin1String(tool));
}

QString Describe(int error) {
  return QString::fromStdString(std::generic_category().message(error));
}

}  // namespace

class Form1RunTest : public QObject {
  Q_OBJECT

 public:
  enum class CancelBy { kButton, kEscape, kRejection };
  Q_ENUM(CancelBy)

 private slots:
  void everyWayOfPressingRunStartsOneRun_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Space") << int{Qt::Key_Space} << int{Qt::NoModifier};
    QTest::newRow("Return") << int{Qt::Key_Return} << int{Qt::NoModifier};
    QTest::newRow("Enter") << int{Qt::Key_Enter} << int{Qt::KeypadModifier};
    QTest::newRow("Alt+R") << int{Qt::Key_R} << int{Qt::AltModifier};
    QTest::newRow("click") << -1 << 0;
  }

  void everyWayOfPressingRunStartsOneRun() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    Form1Harness h;
    QVERIFY(h.ShowActive());
    const QString path = h.WriteFile("plain.txt", "nothing to see");
    h.AnswerDialog(path);
    if (key < 0) {
      QTest::mouseClick(h.Run(), Qt::LeftButton);
    } else {
      QTest::keyClick(h.Run(), static_cast<Qt::Key>(key),
                      static_cast<Qt::KeyboardModifiers>(modifiers));
    }
    // Alt+R presses the button as a short animation, then clicks.
    QTRY_COMPARE(h.dialogs_shown, 1);
    QVERIFY(h.WaitForRuns(1));
    QCOMPARE(h.Results()->toPlainText(), "You Selected " + path + kNothingFound);
  }

  void altRPressesRunFromAnyBoxButEnterDoesNot() {
    Form1Harness h;
    QVERIFY(h.ShowActive());
    for (const char* name : {"Text1", "Text2"}) {
      h.Line(name)->setFocus();
      QTest::keyClick(h.Line(name), Qt::Key_Return);
      QTest::keyClick(h.Line(name), Qt::Key_Enter, Qt::KeypadModifier);
    }
    QCOMPARE(h.dialogs_shown, 0);

    h.AnswerDialog(std::nullopt);
    QTest::keyClick(h.Line("Text2"), Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(h.dialogs_shown, 1);
  }

  void resultsBoxEndsWithTheLastReport_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("shown");
    QTest::newRow("JPEG: first quantization table")
        << kJpegStart + QByteArray::fromHex("FFDB0043") << FindingShown(11, "JPHide");
    QTest::newRow("two JPHide markers: the second")
        << QByteArray::fromHex("00FFDB00FFDB00") << FindingShown(5, "JPHide");
    QTest::newRow("Hiderman after JPHide, wherever they lie")
        << QByteArray("xcdn") + QByteArray::fromHex("FFDB") << FindingShown(2, "Hiderman");
  }

  void resultsBoxEndsWithTheLastReport() {
    QFETCH(QByteArray, content);
    QFETCH(QString, shown);
    Form1Harness h;
    h.AnswerDialog(h.WriteFile("image.jpg", content));
    h.Run()->click();
    QVERIFY(h.WaitForRuns(1));
    QCOMPARE(h.Results()->toPlainText(), shown);
    // CR LF became line breaks: the empty first line shows as a block.
    QCOMPARE(h.Results()->document()->blockCount(), 3);
    QVERIFY(h.failures.empty());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
  }

  void pathIsShownAsTheDialogGaveIt() {
    Form1Harness h;
    const QString path = h.WriteFile(QStringLiteral(u"Fr\u00FChling \u65E5\u672C.png"), "abc");
    h.AnswerDialog(path);
    h.Run()->click();
    QVERIFY(h.WaitForRuns(1));
    QCOMPARE(h.Results()->toPlainText(), "You Selected " + path + kNothingFound);
  }

  void eachRunReplacesTheLastOne() {
    Form1Harness h;
    h.AnswerDialog(h.WriteFile("a.jpg", QByteArray::fromHex("FFDB")));
    h.Run()->click();
    QVERIFY(h.WaitForRuns(1));
    const QString second = h.WriteFile("b.txt", "plain");
    h.AnswerDialog(second);
    h.Run()->click();
    QVERIFY(h.WaitForRuns(2));
    QCOMPARE(h.Results()->toPlainText(), "You Selected " + second + kNothingFound);
  }

  void cancellingTheDialogChangesNothing() {
    Form1Harness h;
    h.Results()->setPlainText("kept from before");
    QSignalSpy changes(h.Results(), &QPlainTextEdit::textChanged);
    h.AnswerDialog(std::nullopt);
    h.Run()->click();
    QCOMPARE(h.dialogs_shown, 1);
    // A Run would have disabled the button before click() returned.
    QVERIFY(h.Run()->isEnabled());
    QCOMPARE(h.Results()->toPlainText(), QStringLiteral("kept from before"));
    QCOMPARE(changes.count(), 0);
    QVERIFY(h.failures.empty());
  }

  void failedRunIsReportedAndTheWindowGoesOn_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::newRow("missing file") << "gone.jpg" << ENOENT << Describe(ENOENT);
    QTest::newRow("directory") << "folder" << EISDIR << Describe(EISDIR);
    QTest::newRow("named pipe") << "pipe" << static_cast<int>(ScanErrc::kNamedPipe)
                                << "Is a named pipe, not a regular file";
  }

  void failedRunIsReportedAndTheWindowGoesOn() {
    QFETCH(QString, name);
    QFETCH(int, number);
    QFETCH(QString, description);
    Form1Harness h;
    QVERIFY(h.ShowActive());
    const QString path = QDir(h.directory.path()).filePath(name);
    if (name == "folder") {
      QVERIFY(QDir().mkdir(path));
    } else if (name == "pipe") {
      QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    h.AnswerDialog(path);
    h.Run()->click();
    QVERIFY(h.WaitForRuns(1));

    QCOMPARE(h.failures.size(), std::size_t{1});
    QCOMPARE(h.failures[0].path, path);
    QCOMPARE(h.failures[0].number, number);
    QCOMPARE(h.failures[0].description, description);
    QVERIFY(!h.busy_during_report);
    QCOMPARE(h.Results()->toPlainText(), "Could not scan " + path + ": " + description);

    // The window goes on: the next Run works as ever.
    QVERIFY(h.form.isVisible());
    const QString next = h.WriteFile("next.jpg", QByteArray::fromHex("FFDB"));
    h.AnswerDialog(next);
    QTest::keyClick(h.Run(), Qt::Key_Space);
    QVERIFY(h.WaitForRuns(2));
    QCOMPARE(h.Results()->toPlainText(), FindingShown(1, "JPHide"));
    QCOMPARE(h.failures.size(), std::size_t{1});
  }

  void duringARunTheEventLoopRunsButTheWindowTakesNoInput() {
    Form1Harness h;
    QVERIFY(h.ShowActive());
    const QString banner = h.Line("Text1")->text();
    h.AnswerDialog(h.WriteSparseFile("large.bin", kLongRunBytes));
    QTest::mouseClick(h.Run(), Qt::LeftButton);

    bool fired = false;
    bool run_going_when_fired = false;
    QTimer::singleShot(0, &h.form, [&] {
      fired = true;
      run_going_when_fired = h.finished.isEmpty();
    });
    QTRY_VERIFY(fired);
    QVERIFY(run_going_when_fired);
    QVERIFY(!h.Run()->isEnabled());
    QVERIFY(QGuiApplication::overrideCursor() != nullptr);

    // Pressing Run and typing while the Run goes on; none of it may reach the
    // window, then or later.
    QTest::mouseClick(h.Run(), Qt::LeftButton);
    QTest::keyClick(h.Line("Text2"), Qt::Key_R, Qt::AltModifier);
    QTest::keyClicks(h.Line("Text1"), "typed");

    QVERIFY(h.CancelRun());
    QVERIFY(h.WaitForRuns(1));
    QCOMPARE(h.dialogs_shown, 1);
    QCOMPARE(h.Line("Text1")->text(), banner);

    // Input is taken again once the Run has ended.
    QTest::keyClicks(h.Line("Text1"), "typed");
    QVERIFY(h.Line("Text1")->text().contains("typed"));
  }

  void cancelEndsTheRunWithoutAFailureBox_data() {
    QTest::addColumn<CancelBy>("by");
    QTest::newRow("Cancel button") << CancelBy::kButton;
    QTest::newRow("Escape") << CancelBy::kEscape;
    // What Escape becomes when the dialog's window is not the active one.
    QTest::newRow("rejection") << CancelBy::kRejection;
  }

  void cancelEndsTheRunWithoutAFailureBox() {
    QFETCH(CancelBy, by);
    Form1Harness h;
    QVERIFY(h.ShowActive());
    const QString path = h.WriteSparseFile("large scan.bin", kLongRunBytes);
    h.AnswerDialog(path);
    h.Run()->click();

    QTRY_VERIFY_WITH_TIMEOUT(h.Progress() != nullptr, 60'000);
    QProgressDialog& progress = *h.Progress();
    QVERIFY(progress.labelText().contains("large scan.bin"));
    QVERIFY(progress.labelText().endsWith(" of 64.0 GiB"));
    switch (by) {
      case CancelBy::kButton:
        QTest::mouseClick(progress.findChild<QPushButton*>(), Qt::LeftButton);
        break;
      case CancelBy::kEscape:
        QVERIFY(QTest::qWaitForWindowActive(&progress));
        QTest::keyClick(&progress, Qt::Key_Escape);
        break;
      case CancelBy::kRejection:
        progress.reject();
        break;
    }

    QVERIFY(h.WaitForRuns(1));
    QCOMPARE(h.Results()->toPlainText(), "Could not scan " + path + ": Operation canceled");
    QVERIFY(h.failures.empty());
    QCOMPARE(h.Progress(), nullptr);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

    // The window goes on: the next Run works as ever.
    const QString next = h.WriteFile("next.jpg", QByteArray::fromHex("FFDB"));
    h.AnswerDialog(next);
    QTest::keyClick(h.Run(), Qt::Key_Space);
    QVERIFY(h.WaitForRuns(2));
    QCOMPARE(h.Results()->toPlainText(), FindingShown(1, "JPHide"));
  }

  void closingTheWindowEndsTheRunAtOnce() {
    Form1Harness h;
    QVERIFY(h.ShowActive());
    h.AnswerDialog(h.WriteSparseFile("large.bin", kLongRunBytes));
    h.Run()->click();

    QVERIFY(h.form.close());
    // Ended within the close: the Run's thread was stopped and joined.
    QCOMPARE(h.finished.count(), 1);
    QVERIFY(!h.form.isVisible());
    QVERIFY(h.failures.empty());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
  }

  void failureBoxStatesNumberAndDescription() {
    QWidget parent;
    parent.show();
    QString shown;
    bool modal = false;
    QTimer::singleShot(0, &parent, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box != nullptr) {
        modal = box->isModal() && box->parentWidget() == &parent;
        shown = box->text() + "|" + box->informativeText();
        box->accept();
      }
    });
    ShowFailureBox(parent, RunFailure{"/data/a.jpg", 13, "Permission denied"});
    QVERIFY(modal);
    QCOMPARE(shown, QStringLiteral("Could not scan /data/a.jpg.|Error 13: Permission denied."));
  }

  // The Run's text is bytes with CR LF line ends; the box breaks its lines.
  void resultsBoxTextBreaksLinesAtCrLf() {
    QPlainTextEdit box;
    box.setPlainText(ResultsBoxText("\r\nsecond\r\nline"));
    QCOMPARE(box.toPlainText(), QStringLiteral("\nsecond\nline"));
  }
};

}  // namespace telltale::testing

QTEST_MAIN(telltale::testing::Form1RunTest)
#include "form1_run_test.moc"
