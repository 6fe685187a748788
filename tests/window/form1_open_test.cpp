// SPDX-License-Identifier: Apache-2.0
// The other ways a file reaches a Run: dropped on the window (anywhere on it,
// under the name's bytes), or named on the command line as "Open With" does; where the Open dialog
// starts; and a long path in the results box.
#include <QAbstractScrollArea>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScopeGuard>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>
#include <QWindow>
#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "form1_harness.h"
#include "window/common/arguments.h"
#include "window/common/dropped_file.h"

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

// Mime data as the platform hands over a drop from another program: the URI
// list's bytes exactly as that program wrote them. (QMimeData::setData would
// make URLs of them, and back.)
class ForeignMimeData : public QMimeData {
 public:
  explicit ForeignMimeData(QByteArray uri_list) : uri_list_(std::move(uri_list)) {}

  [[nodiscard]] QStringList formats() const override { return {QStringLiteral("text/uri-list")}; }
  [[nodiscard]] bool hasFormat(const QString& type) const override {
    return type == QStringLiteral("text/uri-list");
  }

 protected:
  [[nodiscard]] QVariant retrieveData(const QString& type, QMetaType /*unused*/) const override {
    return hasFormat(type) ? QVariant(uri_list_) : QVariant();
  }

 private:
  QByteArray uri_list_;
};

// Drags `data` over `target`, a control of the window or the window itself,
// and drops it there if taken, the way the platform delivers a drag: to the
// window's system window, which hands it to the widget under the cursor that
// takes drops. Returns whether the drop was taken.
bool DropOn(Form1& form, QWidget& target, const QMimeData& data) {
  QWindow* window = form.windowHandle();
  if (window == nullptr) {
    qFatal("the window is not shown");
  }
  const QPoint at = target.mapTo(&form, target.rect().center());
  const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &enter);
  QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &move);
  if (!enter.isAccepted() || !move.isAccepted()) {
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(window, &leave);
    return false;
  }
  QDropEvent drop(QPointF(at), actions, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &drop);
  return drop.isAccepted();
}

// What the text boxes show.
QStringList BoxTexts(const Form1Harness& h) {
  return {h.Line("Text1")->text(), h.Line("Text2")->text(), h.Line("Text3")->text(),
          h.Results()->toPlainText()};
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

  // A file manager percent-encodes a name's bytes in the URI it drops; a
  // name that is not UTF-8 must reach the Run as those bytes, not as text.
  void aDroppedNameThatIsNotUtf8IsRunWithItsBytes() {
    Form1Harness h;
    QVERIFY(h.ShowActive());
    const QByteArray directory = QFile::encodeName(h.directory.path());
    const std::string name = (directory + "/caf\xE9.bin").toStdString();
    QVERIFY(std::ofstream(name, std::ios::binary) << "xxCDN");
    // QTemporaryDir cannot remove a name that is not UTF-8.
    const auto remove = qScopeGuard([&] { std::filesystem::remove(name); });
    const QString found =
        QStringLiteral("\nSteganography found at marker position 3\nHiderman program detected!");

    QMimeData encoded;
    encoded.setUrls(
        {QUrl::fromEncoded(QUrl::fromLocalFile(h.directory.path()).toEncoded() + "/caf%E9.bin")});
    QVERIFY(DropOn(h.form, h.form, encoded));
    QVERIFY(h.WaitForRuns(1));
    QVERIFY(h.failures.empty());
    QCOMPARE(h.Results()->toPlainText(), found);

    // A list that is not well-formed, with the byte as it is, names it too.
    const ForeignMimeData raw("file://" + directory + "/caf\xE9.bin\r\n");
    h.Results()->clear();
    QVERIFY(DropOn(h.form, h.form, raw));
    QVERIFY(h.WaitForRuns(2));
    QVERIFY(h.failures.empty());
    QCOMPARE(h.Results()->toPlainText(), found);
  }

  void theUriListIsReadAsBytes_data() {
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<bool>("names_a_file");
    QTest::addColumn<QByteArray>("file");
    const auto names = [](const char* row, const QByteArray& list, const QByteArray& file) {
      QTest::newRow(row) << list << true << file;
    };
    const auto refused = [](const char* row, const QByteArray& list) {
      QTest::newRow(row) << list << false << QByteArray();
    };
    names("percent-encoded byte", "file:///tmp/caf%E9.bin\r\n", "/tmp/caf\xE9.bin");
    names("raw byte", "file:///tmp/caf\xE9.bin", "/tmp/caf\xE9.bin");
    names("UTF-8", "file:///tmp/caf%C3%A9%20%25.bin", "/tmp/caf\xC3\xA9 %.bin");
    names("lone percent signs", "file:///tmp/100%.bin%zz%4", "/tmp/100%.bin%zz%4");
    names("raw space, blanks around", "  file:///tmp/a b.bin \t\n", "/tmp/a b.bin");
    names("localhost", "FILE://LocalHost/tmp/a.bin", "/tmp/a.bin");
    names("no authority", "file:/tmp/a.bin", "/tmp/a.bin");
    names("NUL-terminated", QByteArray("file:///tmp/a.bin\r\n", 19) + '\0', "/tmp/a.bin");
    names("comments and empty lines", "# dragged\r\n\r\nfile:///tmp/a.bin\r\n\r\n", "/tmp/a.bin");
    refused("empty", "");
    refused("only a comment", "# file:///tmp/a.bin\r\n");
    refused("two files", "file:///tmp/a.bin\r\nfile:///tmp/b.bin\r\n");
    refused("another host", "file://server/tmp/a.bin");
    refused("another scheme", "https://example.org/a.jpg");
    refused("no scheme", "/tmp/a.bin");
    refused("relative", "file:tmp/a.bin");
    refused("no path", "file://localhost");
    refused("NUL byte", "file:///tmp/a%00b.bin");
    refused("query", "file:///tmp/a.bin?x");
    refused("fragment", "file:///tmp/a.bin#x");
  }

  void theUriListIsReadAsBytes() {
    QFETCH(QByteArray, list);
    QFETCH(bool, names_a_file);
    QFETCH(QByteArray, file);
    const std::optional<std::string> named =
        LocalFileOfUriList(std::string_view(list.constData(), list.size()));
    QCOMPARE(named.has_value(), names_a_file);
    if (named) {
      QCOMPARE(QByteArray::fromStdString(*named), file);
    }
  }

  // A file dropped on a text box is the window's: it starts a Run, and no
  // box shows anything but what the Run writes.
  void aFileDroppedOnAnyBoxIsRunAndEditsNoBox_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("results") << "txtResults";
    QTest::newRow("banner") << "Text1";
    QTest::newRow("credit") << "Text2";
    QTest::newRow("logo notice") << "Text3";
  }

  void aFileDroppedOnAnyBoxIsRunAndEditsNoBox() {
    QFETCH(QString, name);
    Form1Harness h;
    QVERIFY(h.ShowActive());
    const QStringList before = BoxTexts(h);
    const QString file = h.WriteFile("other.bin", QByteArray::fromHex("00FFDB"));
    // As a file manager offers it: as a URL, and as text for text boxes.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    data.setText(QUrl::fromLocalFile(file).toString());
    auto* box = h.form.findChild<QWidget*>(name);
    QVERIFY(box != nullptr);

    QVERIFY(DropOn(h.form, *box, data));
    // Started at once, or already over.
    QVERIFY(!h.Run()->isEnabled() || !h.finished.isEmpty());
    QVERIFY(h.WaitForRuns(1));
    QVERIFY(h.failures.empty());
    QStringList expected = before;
    expected.back() =
        QStringLiteral("\nSteganography found at marker position 2\nJPHide program detected!");
    QCOMPARE(BoxTexts(h), expected);

    // Not even a drop sent to the box itself edits it.
    for (QWidget* receiver : {box, box->focusProxy() != nullptr ? box->focusProxy() : box,
                              qobject_cast<QAbstractScrollArea*>(box) != nullptr
                                  ? qobject_cast<QAbstractScrollArea*>(box)->viewport()
                                  : box}) {
      QDropEvent drop(QPointF(receiver->rect().center()), Qt::CopyAction | Qt::MoveAction, &data,
                      Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(receiver, &drop);
    }
    QCOMPARE(BoxTexts(h), expected);
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
    // QTemporaryDir cannot remove a name that is not UTF-8.
    const auto remove = qScopeGuard([&] { std::filesystem::remove(path); });
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
