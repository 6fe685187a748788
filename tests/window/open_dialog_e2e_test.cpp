// The whole road of a Run on a real X display: Alt+R opens the real Open
// dialog, a path is typed into it, Enter confirms, and the results box shows
// the scan; and the window's close button during a long Run. Run under
// xvfb-run on the xcb platform.
#include <xcb/xcb.h>

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>

#include "window/form1.h"
#include "window/open_dialog.h"

namespace telltale::testing {

class OpenDialogEndToEndTest : public QObject {
  Q_OBJECT

 public:
  // A desktop's own dialog (GTK, portal) could not be driven from here; the
  // program asks for the native one and gets Qt's where there is none. The
  // user's home and every XDG folder are an empty folder of the test's: the
  // program must leave it empty.
  static void initMain() {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    static QTemporaryDir home;
    for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                 "XDG_STATE_HOME", "XDG_RUNTIME_DIR"}) {
      qputenv(variable, QFile::encodeName(home.path()));
    }
    QFile::setPermissions(home.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

 private slots:
  void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

  // After every Run through the real dialog, and the dialogs closed.
  void cleanupTestCase() {
    const QStringList left =
        QDir(QDir::homePath())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QVERIFY2(left.isEmpty(), qPrintable("written under the home folder: " + left.join(", ")));
  }

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
    QSignalSpy finished(&form, &Form1::runFinished);
    QVERIFY(ShowAndActivate(form));

    QString dialog_name;
    QString dialog_folder;
    WhenDialogShows([&](QFileDialog& dialog) {
      dialog_name = dialog.objectName();
      dialog_folder = dialog.directory().absolutePath();
      QTest::keyClicks(QApplication::focusWidget(), path);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    QTest::keyClick(&form, Qt::Key_R, Qt::AltModifier);

    auto* results = form.findChild<QPlainTextEdit*>("txtResults");
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(
        results->toPlainText(),
        QStringLiteral("\nSteganography found at marker position 207\nHiderman program detected!"));
    QCOMPARE(dialog_name, QStringLiteral("cdlTest"));
    QCOMPARE(dialog_folder, QDir::homePath());
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
    // A Run would have disabled the button.
    QVERIFY(form.findChild<QPushButton*>("cmdTest")->isEnabled());
  }

  // Last: closing the last window may end the application.
  void closeButtonEndsALongRunAtOnce() {
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("large.bin"));
    {
      // Sparse zeros: a Run on them lasts many seconds.
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      QVERIFY(file.resize(qint64{64} << 30));
    }
    Form1 form([&](QWidget&, const QString&) { return std::optional<QString>(path); },
               [](QWidget&, const RunFailure& failure) {
                 QFAIL(qPrintable("unexpected failure: " + failure.ResultsText()));
               });
    QSignalSpy finished(&form, &Form1::runFinished);
    QVERIFY(ShowAndActivate(form));
    QTest::keyClick(&form, Qt::Key_R, Qt::AltModifier);

    // Pressed while the progress dialog is up, which must not block it.
    QTRY_VERIFY_WITH_TIMEOUT(IsShown(form.findChild<QProgressDialog*>("runProgress")), 60'000);
    PressCloseButton(form);
    QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 30'000);
    // The Run ended within the close: its thread was stopped and joined.
    QCOMPARE(finished.count(), 1);
    QVERIFY(!IsShown(form.findChild<QProgressDialog*>("runProgress")));
  }

 private:
  static bool IsShown(const QWidget* widget) { return widget != nullptr && widget->isVisible(); }

  // Sends the window what the window manager sends when its close button is
  // pressed: WM_DELETE_WINDOW, which Qt turns into a close event unless a
  // modal dialog blocks the window.
  static void PressCloseButton(QWidget& window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    QVERIFY(x11 != nullptr);
    xcb_connection_t* connection = x11->connection();
    const auto atom = [connection](const char* name) {
      xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
          connection,
          xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
          nullptr);
      const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
      std::free(reply);
      return found;
    };
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window.winId());
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, message.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
  }

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
