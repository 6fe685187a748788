// SPDX-License-Identifier: Apache-2.0
// The program's command line reaches the windowing library as the program's
// name alone: a file named like one of Qt's options (-stylesheet=…, -reverse)
// is a file, never an option. The application is made as the program makes
// it, from a command line that holds such names after "--", before the tests
// run.
#include "window/qt/open_display.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStringList>
#include <QTest>
#include <array>
#include <memory>

namespace telltale::testing {

class OpenDisplayTest : public QObject {
  Q_OBJECT

 private slots:
  void onlyTheProgramNameReachesQt() {
    QCOMPARE(QCoreApplication::arguments().size(), 1);
    QVERIFY(QCoreApplication::arguments().front().endsWith(QStringLiteral("open_display_test")));
  }

  void noStyleSheetIsApplied() { QCOMPARE(qApp->styleSheet(), QString()); }

  void theLayoutIsNotMirrored() { QCOMPARE(QGuiApplication::layoutDirection(), Qt::LeftToRight); }

  // The platform named by the environment, as the tests set it, not by the
  // command line.
  void thePlatformIsTheEnvironments() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
  }
};

}  // namespace telltale::testing

int main(int argc, char* argv[]) {
  if (argc < 1) {
    return 1;
  }
  // What `telltale -- -stylesheet=evil.qss` and the like hand the program.
  std::array<char, 3> dashes{"--"};
  std::array<char, 21> style_sheet{"-stylesheet=evil.qss"};
  std::array<char, 9> reverse{"-reverse"};
  std::array<char, 10> platform{"-platform"};
  std::array<char, 8> minimal{"minimal"};
  std::array<char*, 7> command_line{argv[0],        dashes.data(),   style_sheet.data(),
                                    reverse.data(), platform.data(), minimal.data(),
                                    nullptr};
  const std::unique_ptr<QApplication> app =
      telltale::OpenDisplay(static_cast<int>(command_line.size()) - 1, command_line.data());
  telltale::testing::OpenDisplayTest test;
  return QTest::qExec(&test, 1, argv);
}

#include "open_display_test.moc"
