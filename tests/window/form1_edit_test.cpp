// SPDX-License-Identifier: Apache-2.0
// Editing the boxes: the logo notice empties itself on any edit, without a
// chain of change events; the other boxes simply take the edit.
#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

#include "form1_harness.h"

namespace telltale::testing {
namespace {

enum class Edit { kType, kBackspace, kDelete, kPaste, kCut };

void Apply(Edit edit, QLineEdit& line) {
  line.setFocus();
  switch (edit) {
    case Edit::kType:
      QTest::keyClick(&line, Qt::Key_X);
      break;
    case Edit::kBackspace:
      QTest::keyClick(&line, Qt::Key_End);
      QTest::keyClick(&line, Qt::Key_Backspace);
      break;
    case Edit::kDelete:
      QTest::keyClick(&line, Qt::Key_Home);
      QTest::keyClick(&line, Qt::Key_Delete);
      break;
    case Edit::kPaste:
      QApplication::clipboard()->setText(QStringLiteral("pasted"));
      QTest::keySequence(&line, QKeySequence::Paste);
      break;
    case Edit::kCut:
      QTest::keyClick(&line, Qt::Key_Home);
      QTest::keyClick(&line, Qt::Key_Right, Qt::ShiftModifier);
      QTest::keySequence(&line, QKeySequence::Cut);
      break;
  }
}

}  // namespace

class Form1EditTest : public QObject {
  Q_OBJECT

 private slots:
  void noticeIsKeptUntilEdited() {
    Form1Harness h;
    QVERIFY(h.ShowActive());
    QVERIFY(!h.Line("Text3")->text().isEmpty());
  }

  void anyEditEmptiesTheNotice_data() {
    QTest::addColumn<Edit>("edit");
    QTest::newRow("typing") << Edit::kType;
    QTest::newRow("backspace") << Edit::kBackspace;
    QTest::newRow("delete") << Edit::kDelete;
    QTest::newRow("pasting") << Edit::kPaste;
    QTest::newRow("cutting") << Edit::kCut;
  }

  void anyEditEmptiesTheNotice() {
    QFETCH(Edit, edit);
    Form1Harness h;
    QVERIFY(h.ShowActive());
    QLineEdit& notice = *h.Line("Text3");
    QSignalSpy changes(&notice, &QLineEdit::textChanged);
    Apply(edit, notice);
    QCOMPARE(notice.text(), QString());
    // The edit, then the emptying; emptying an empty box raises nothing.
    QCOMPARE(changes.count(), 2);

    // Every later edit is undone at once too.
    Apply(Edit::kType, notice);
    Apply(Edit::kPaste, notice);
    QCOMPARE(notice.text(), QString());
    QCOMPARE(changes.count(), 6);
  }

  void editingTheOtherBoxesChangesNothingElse_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("banner") << "Text1";
    QTest::newRow("credit") << "Text2";
    QTest::newRow("results") << "txtResults";
  }

  void editingTheOtherBoxesChangesNothingElse() {
    QFETCH(QString, name);
    Form1Harness h;
    QVERIFY(h.ShowActive());
    const QStringList before = {h.Line("Text1")->text(), h.Line("Text2")->text(),
                                h.Line("Text3")->text(), h.Results()->toPlainText()};
    auto* box = h.form.findChild<QWidget*>(name);
    box->setFocus();
    QTest::keyClicks(box, "typed");

    const QStringList after = {h.Line("Text1")->text(), h.Line("Text2")->text(),
                               h.Line("Text3")->text(), h.Results()->toPlainText()};
    int changed = 0;
    for (qsizetype i = 0; i < before.size(); ++i) {
      changed += before[i] != after[i] ? 1 : 0;
    }
    QCOMPARE(changed, 1);
    QVERIFY(after.filter(QStringLiteral("typed")).size() == 1);
    QCOMPARE(h.dialogs_shown, 0);
  }
};

}  // namespace telltale::testing

QTEST_MAIN(telltale::testing::Form1EditTest)
#include "form1_edit_test.moc"
