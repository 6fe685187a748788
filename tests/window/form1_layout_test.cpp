// SPDX-License-Identifier: Apache-2.0
// Form1 as it first appears: title, layout, texts, logo, focus and tab order.
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QTest>

#include "form1_harness.h"

namespace telltale::testing {

class Form1LayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void windowHasTitleSizeAndTextBoxBackground() {
    Form1Harness h;
    QVERIFY(h.ShowActive());
    QCOMPARE(h.form.windowTitle(), QStringLiteral("Form1"));
    QCOMPARE(h.form.size(), QSize(611, 468));
    QCOMPARE(h.form.minimumSize(), h.form.maximumSize());
    QCOMPARE(h.form.grab().toImage().pixelColor(600, 460), h.form.palette().color(QPalette::Base));
  }

  void controlsSitWhereTheLayoutPutsThem_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("className");
    QTest::newRow("Label1") << "Label1" << QRect(48, 24, 145, 65) << "QLabel";
    QTest::newRow("cmdTest") << "cmdTest" << QRect(240, 24, 73, 57) << "QPushButton";
    QTest::newRow("txtResults") << "txtResults" << QRect(56, 128, 257, 153) << "QPlainTextEdit";
    QTest::newRow("Text1") << "Text1" << QRect(120, 328, 201, 25) << "QLineEdit";
    QTest::newRow("Text3") << "Text3" << QRect(120, 344, 201, 17) << "QLineEdit";
    QTest::newRow("Text2") << "Text2" << QRect(120, 360, 185, 25) << "QLineEdit";
    QTest::newRow("Image1") << "Image1" << QRect(24, 328, 79, 114) << "QLabel";
  }

  void controlsSitWhereTheLayoutPutsThem() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, className);
    Form1Harness h;
    const auto* control = h.form.findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(control->parentWidget(), &h.form);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
  }

  void controlsStartWithTheirTexts() {
    Form1Harness h;
    QCOMPARE(h.Run()->text(), QStringLiteral("&Run"));
    QVERIFY(h.Results()->toPlainText().isEmpty());
    QCOMPARE(h.form.findChild<QLabel*>("Label1")->text(),
             QStringLiteral("Choose a file to interogate. Run will allow you to choose your file "
                            "and identify a hidden message."));
    const QString banner = h.Line("Text1")->text();
    QVERIFY2(banner.startsWith(QStringLiteral("Telltale 2.0 ")) && banner.contains(u'\u00A9'),
             qPrintable(banner));
    QVERIFY(h.Line("Text3")->text().contains(u'\u00A9'));
    QCOMPARE(h.Line("Text2")->text(), QStringLiteral("Telltale, telltale.example.org"));
  }

  // Fixed boxes and the window's font must agree, or the texts are cut off.
  void everyTextFitsItsBox() {
    Form1Harness h;
    QVERIFY(h.ShowActive());
    const auto* label = h.form.findChild<QLabel*>("Label1");
    QVERIFY(label->wordWrap());
    QVERIFY(label->heightForWidth(label->width()) <= label->height());
    for (const char* name : {"Text1", "Text3", "Text2"}) {
      const QLineEdit* line = h.Line(name);
      const int room = line->width() - 4;  // the line edit's own side margins
      QVERIFY2(line->fontMetrics().horizontalAdvance(line->text()) <= room, name);
      QVERIFY2(line->fontMetrics().height() <= 16, "three lines 16 pixels apart must not overlap");
    }
  }

  // The three lines overlap; each must still show its own text in full.
  void stackedLinesEachShowTheirText() {
    Form1Harness h;
    QVERIFY(h.ShowActive());
    const QImage window = h.form.grab().toImage();
    const QColor background = h.form.palette().color(QPalette::Base);
    for (const char* name : {"Text1", "Text3", "Text2"}) {
      QLineEdit* line = h.Line(name);
      const QImage alone = line->grab().toImage();
      const int text_height = line->fontMetrics().height();
      int ink = 0;
      for (int y = 0; y < text_height; ++y) {
        for (int x = 0; x < line->width(); ++x) {
          const QColor seen = window.pixelColor(line->x() + x, line->y() + y);
          ink += seen != background ? 1 : 0;
          QCOMPARE(seen, alone.pixelColor(x, y));
        }
      }
      QVERIFY2(ink > 50, name);
    }
  }

  void logoIsShownAtItsOwnSize() {
    Form1Harness h;
    const auto* image = h.form.findChild<QLabel*>("Image1");
    const QPixmap logo = image->pixmap();
    QCOMPARE(logo.size(), QSize(79, 114));
    QCOMPARE(logo.depth(), 32);  // loaded as 24-bit colour without alpha
    QVERIFY(!logo.hasAlphaChannel());
    QVERIFY(!image->hasScaledContents());
  }

  void resultsBoxWrapsWordsAndScrollsOnlyVertically() {
    Form1Harness h;
    QPlainTextEdit* results = h.Results();
    QVERIFY(!results->isReadOnly());
    QCOMPARE(results->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(results->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(results->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(results->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
  }

  // What a screen reader announces: every control has a name of its own.
  void everyControlHasAnAccessibleName() {
    Form1Harness h;
    QCOMPARE(h.Results()->accessibleName(), QStringLiteral("Results"));
    QCOMPARE(h.Run()->accessibleName(), QStringLiteral("Run"));
    QStringList names;
    for (const QWidget* control : h.form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
      names << control->accessibleName();
    }
    QCOMPARE(names.size(), 7);
    names.removeDuplicates();
    QCOMPARE(names.size(), 7);
  }

  void runHasTheFocusAndTabFollowsTheTabIndex() {
    Form1Harness h;
    QVERIFY(h.ShowActive());
    QCOMPARE(QApplication::focusWidget(), h.Run());
    QStringList visited;
    for (int i = 0; i < 5; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, QStringList({"Text1", "Text2", "txtResults", "Text3", "cmdTest"}));
  }
};

}  // namespace telltale::testing

QTEST_MAIN(telltale::testing::Form1LayoutTest)
#include "form1_layout_test.moc"
