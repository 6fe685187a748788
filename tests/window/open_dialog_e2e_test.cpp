// The whole road of a Run on a real X display: Alt+R opens the real Open
// dialog, a path is typed into it, Enter confirms, and the results box shows
// the scan. Run under xvfb-run on the xcb platform.
#include <QApplication>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "window/form1.h"
#include "window/open_dialog.h"

namespace telltale::testing {

class OpenDialogEndToEndTest : public QObject {
  Q_OBJECT

 public:
  // A desktop's own dialog (GTK, portal) could not be driven from here; the
  // program asks for the native one and gets Qt's where there is none.
  static void initMain() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

 private slots:
  void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

  void typedPathIsScanned() {
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("holiday photo.jpg"));
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(QByteArray::fromHex("FFD8FFDB0043") + QByteArray(200, 'a') + "CDN");
    }
    Form1 form(ShowOpenDialog, [](QWidget&, const RunFailure& failure) {
      QFAIL(qPrintable("unexpected failure: " + failure.ResultsText()));
    });
    QVERIFY(ShowAndActivate(form));

    QString dialog_name;
    WhenDialogShows([&](QFileDialog& dialog) {
      dialog_name = dialog.objectName();
      QTest::keyClicks(QApplication::focusWidget(), path);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    QTest::keyClick(&form, Qt::Key_R, Qt::AltModifier);

    auto* results = form.findChild<QPlainTextEdit*>("txtResults");
    QTRY_COMPARE(
        results->toPlainText(),
        QStringLiteral("\nSteganography found at marker position 207\nHiderman program detected!"));
    QCOMPARE(dialog_name, QStringLiteral("cdlTest"));
  }

  void escapeCancelsWithoutARun() {
    Form1 form(ShowOpenDialog, [](QWidget&, const RunFailure&) { QFAIL("no Run expected"); });
    QVERIFY(ShowAndActivate(form));
    auto* results = form.findChild<QPlainTextEdit*>("txtResults");
    results->setPlainText("earlier results");

    bool shown = false;
    WhenDialogShows([&](QFileDialog& dialog) {
      shown = true;
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QTest::keyClick(&form, Qt::Key_R, Qt::AltModifier);
    QTRY_VERIFY(shown);
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(results->toPlainText(), QStringLiteral("earlier results"));
  }

 private:
  static bool ShowAndActivate(QWidget& form) {
    form.show();
    form.activateWindow();
    return QTest::qWaitForWindowActive(&form);
  }

  // The dialog runs its own event loop, so it is driven from a timer that
  // looks for it. Should it still be open a while after `act`, it is
  // rejected, so that the test fails instead of hanging.
  void WhenDialogShows(std::function<void(QFileDialog&)> act) {
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [poll, act = std::move(act)] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isActiveWindow()) {
        return;
      }
      poll->deleteLater();
      QTimer::singleShot(10'000, dialog, [dialog] {
        qWarning("the Open dialog did not close");
        dialog->reject();
      });
      act(*dialog);
    });
    poll->start(50);
  }
};

}  // namespace telltale::testing

QTEST_MAIN(telltale::testing::OpenDialogEndToEndTest)
#include "open_dialog_e2e_test.moc"
