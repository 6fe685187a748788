// The other ways a file reaches a Run: dropped on the window, or named on the
// command line as "Open With" does; where the Open dialog starts; and a long
// path in the results box.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>
#include <array>
#include <fstream>

#include "form1_harness.h"
#include "window/arguments.h"

namespace telltale::testing {
namespace {

const QString kNothingFound = QStringLiteral(" to be opened. Sorry no Steg found.");

// Drags `urls` onto the window; returns whether it took them, and with which
// action. Dropping them too when `drop` is set.
std::pair<bool, Qt::DropAction> Drag(Form1& form, const QList<QUrl>& urls, bool drop) {
  QMimeData data;
  data.setUrls(urls);
  const QPoint middle = form.rect().center();
  QDragEnterEvent enter(middle, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
  QCoreApplication::sendEvent(&form, &enter);
  if (!drop || !enter.isAccepted()) {
    return {enter.isAccepted(), enter.dropAction()};
  }
  QDropEvent event(QPointF(middle), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&form, &event);
  return {event.isAccepted(), event.dropAction()};
}

}  // namespace

class Form1OpenTest : public QObject {
  Q_OBJECT

 private slots:
  void droppingOneFileRunsItAndAnythingElseIsRefused() {
    Form1Harness h;
    const QString one = h.WriteFile("dropped.jpg", QByteArray::fromHex("00FFDB"));
    const QString two = h.WriteFile("other.jpg", "plain");
    QCOMPARE(Drag(h.form, {QUrl::fromLocalFile(one), QUrl::fromLocalFile(two)}, true).first, false);
    QCOMPARE(Drag(h.form, {QUrl::fromLocalFile(h.directory.path())}, true).first, false);
    QCOMPARE(Drag(h.form, {QUrl(QStringLiteral("https://example.org/a.jpg"))}, true).first, false);
    QCOMPARE(h.finished.count(), 0);

    QCOMPARE(Drag(h.form, {QUrl::fromLocalFile(one)}, false), std::pair(true, Qt::CopyAction));
    QVERIFY(Drag(h.form, {QUrl::fromLocalFile(one)}, true).first);
    QVERIFY(h.WaitForRuns(1));
    QCOMPARE(
        h.Results()->toPlainText(),
        QStringLiteral("\nSteganography found at marker position 2\nJPHide program detected!"));
    QCOMPARE(h.dialogs_shown, 0);
  }

  void noDropIsTakenDuringARun() {
    Form1Harness h;
    const QString big = h.WriteSparseFile("big.img", qint64{64} << 30);
    h.form.StartRun(QFile::encodeName(big).toStdString());
    const QString small = h.WriteFile("small.txt", "plain");
    QCOMPARE(Drag(h.form, {QUrl::fromLocalFile(small)}, true).first, false);
    QVERIFY(h.CancelRun());
    QVERIFY(h.WaitForRuns(1));
    QCOMPARE(h.finished.count(), 1);
    QVERIFY(h.Results()->toPlainText().endsWith(QStringLiteral(": Operation canceled")));
  }

  void aNamedFileIsRunWithItsNameExactlyAsGiven() {
    Form1Harness h;
    // Latin-1 e-acute: not UTF-8, so no text round trip could keep it.
    const std::string name = "caf\xE9 photo.jpg";
    const std::string path = QFile::encodeName(h.directory.path()).toStdString() + "/" + name;
    QVERIFY(std::ofstream(path, std::ios::binary) << "xxCDN");
    const std::array<const char*, 2> argv = {"telltale", path.c_str()};
    const Arguments arguments = ParseArguments(2, argv.data());
    QCOMPARE(arguments.action, Arguments::Action::kOpen);
    QVERIFY(arguments.file == path);

    h.form.StartRun(*arguments.file);
    QVERIFY(h.WaitForRuns(1));
    QVERIFY(h.failures.empty());
    QCOMPARE(
        h.Results()->toPlainText(),
        QStringLiteral("\nSteganography found at marker position 3\nHiderman program detected!"));
  }

  void theDialogStartsAtHomeThenWhereTheLastFileWas() {
    Form1Harness h;
    h.AnswerDialog(std::nullopt);
    h.Run()->click();
    const QString dropped = h.WriteFile("dropped.txt", "plain");
    QVERIFY(Drag(h.form, {QUrl::fromLocalFile(dropped)}, true).first);
    QVERIFY(h.WaitForRuns(1));
    h.AnswerDialog(std::nullopt);
    h.Run()->click();
    QCOMPARE(h.dialog_folders,
             (std::vector<QString>{QDir::homePath(), QFileInfo(dropped).absolutePath()}));
  }

  void aLongPathIsShownWholeAcrossLines() {
    Form1Harness h;
    QVERIFY(h.ShowActive());
    const QString path = h.WriteFile(
        QStringLiteral("a_file_name_much_longer_than_the_results_box_is_wide.jpg"), "plain");
    h.AnswerDialog(path);
    h.Run()->click();
    QVERIFY(h.WaitForRuns(1));
    QCOMPARE(h.Results()->toPlainText(), "You Selected " + path + kNothingFound);
    // No line of the laid-out text runs past the box's edge.
    const qreal width = h.Results()->viewport()->width();
    int lines = 0;
    for (QTextBlock block = h.Results()->document()->begin(); block.isValid();
         block = block.next()) {
      const QTextLayout* layout = block.layout();
      for (int i = 0; i < layout->lineCount(); ++i, ++lines) {
        QVERIFY2(layout->lineAt(i).naturalTextWidth() <= width,
                 qPrintable(block.text().mid(layout->lineAt(i).textStart(),
                                             layout->lineAt(i).textLength())));
      }
    }
    QVERIFY(lines > 2);
  }
};

}  // namespace telltale::testing

QTEST_MAIN(telltale::testing::Form1OpenTest)
#include "form1_open_test.moc"
