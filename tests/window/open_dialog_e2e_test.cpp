// SPDX-License-Identifier: Apache-2.0
// The whole road of a Run on a real X display: Alt+R opens the real Open
// dialog, a path is typed into it, Enter confirms, and the results box shows
// the scan; and the window's close button during a long Run. Run under
// xvfb-run on the xcb platform.
#include <xcb/xcb.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>

#include "window/qt/form1.h"
#include "window/qt/open_dialog.h"

namespace telltale::testing {

class OpenDialogEndToEndTest : public QObject {
  Q_OBJECT

 public:
  // The program always shows Qt's own dialog; a desktop's (GTK, portal)
  // could not be driven from here in any case. The user's home and every XDG folder are an empty
  // folder of the test's: the program must leave it empty.
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
      QFAIL(qPrintable("unexpected failure: " + QString::fromStdString(failure.ResultsText())));
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

  // The program writes no file, and its Open dialog changes none: its
  // context menu's Rename, Delete and New Folder are disabled, and so is the
  // New Folder button; no name can be edited, and the Delete key removes
  // nothing, even were its confirmation answered Yes.
  void theDialogChangesNoFile() {
    QTemporaryDir directory;
    const QString evidence = directory.filePath(QStringLiteral("evidence.jpg"));
    {
      QFile file(evidence);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(QByteArray::fromHex("FFD8FFDB"));
    }
    Form1 form(ShowOpenDialog, [](QWidget&, const RunFailure&) { QFAIL("no Run expected"); });
    QVERIFY(ShowAndActivate(form));

    bool checked = false;
    WhenDialogShows([&](QFileDialog& dialog) {
      const auto close = qScopeGuard([&] { dialog.reject(); });
      QVERIFY(dialog.testOption(QFileDialog::ReadOnly));
      // A desktop's own dialog would ignore ReadOnly.
      QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
      auto* model = dialog.findChild<QFileSystemModel*>();
      if (model == nullptr) {
        QFAIL("Qt's own dialog expected");
      }
      QVERIFY(model->isReadOnly());
      auto* new_folder = dialog.findChild<QWidget*>(QStringLiteral("newFolderButton"));
      QVERIFY(new_folder != nullptr && !new_folder->isEnabled());

      // The file selected in the view the dialog shows, list or details.
      dialog.setDirectory(directory.path());
      QAbstractItemView* list = nullptr;
      for (auto* view : dialog.findChildren<QAbstractItemView*>()) {
        if (view->isVisible() && view->model() == model &&
            (view->objectName() == "listView" || view->objectName() == "treeView")) {
          list = view;
        }
      }
      if (list == nullptr) {
        QFAIL("no view of the files shown");
      }
      QTRY_VERIFY(model->index(evidence).isValid());
      const QModelIndex index = model->index(evidence);
      QVERIFY(!model->flags(index).testFlag(Qt::ItemIsEditable));
      const auto select = [&] {
        list->setFocus();
        list->setCurrentIndex(index);
        list->selectionModel()->select(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return list->selectionModel()->selectedRows() == QModelIndexList{index};
      };

      // Right-click on the file: of its menu, only Show Hidden Files works.
      QVERIFY(select());
      QStringList enabled;
      auto* poll = new QTimer(list);
      connect(poll, &QTimer::timeout, list, [&enabled, poll] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
          return;
        }
        poll->deleteLater();
        for (const QAction* action : menu->actions()) {
          if (action->isEnabled() && !action->isSeparator()) {
            enabled.append(action->objectName());
          }
        }
        menu->close();
      });
      poll->start(50);
      emit list->customContextMenuRequested(list->visualRect(index).center());
      QCOMPARE(enabled, QStringList{QStringLiteral("qt_show_hidden_action")});

      // The Delete key on the file.
      QVERIFY(select());
      AnswerYesToConfirmations();
      QTest::keyClick(list, Qt::Key_Delete);
      QTest::qWait(200);
      checked = true;
    });
    QTest::keyClick(&form, Qt::Key_R, Qt::AltModifier);
    QTRY_VERIFY(checked);
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(
        QDir(directory.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("evidence.jpg")});
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
    Form1 form(
        [&](QWidget&, const QString&) { return std::optional<QString>(path); },
        [](QWidget&, const RunFailure& failure) {
          QFAIL(qPrintable("unexpected failure: " + QString::fromStdString(failure.ResultsText())));
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

  // Answers Yes to every message box that asks for a while: the dialog's
  // confirmation of a delete, should it ask for one.
  void AnswerYesToConfirmations() {
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box != nullptr && box->button(QMessageBox::Yes) != nullptr) {
        box->button(QMessageBox::Yes)->click();
      }
    });
    QTimer::singleShot(5'000, poll, &QObject::deleteLater);
    poll->start(50);
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
