// The Telltale window program.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QIcon>
#include <cstdio>

#include "detection/version.h"
#include "window/form1.h"

namespace {

// Answers --help and --version, or refuses arguments, before any display is
// opened, so that both work where there is none. Returns false to stop.
bool TakeArguments(int argc, char* argv[], int& exit_code) {
  const QCoreApplication arguments_only(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Checks a file for traces of JPHide and Hiderman. Press Run to choose it."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.process(arguments_only);
  if (!parser.positionalArguments().isEmpty()) {
    static_cast<void>(
        std::fputs("telltale: takes no file names; press Run to choose the file\n", stderr));
    exit_code = 2;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication::setApplicationName(QStringLiteral("Telltale"));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(telltale::kVersion));
  if (int exit_code = 0; !TakeArguments(argc, argv, exit_code)) {
    return exit_code;
  }

  const QApplication app(argc, argv);
  QApplication::setDesktopFileName(QStringLiteral("telltale"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/telltale/telltale.png")));

  telltale::Form1 form;
  form.show();
  return QApplication::exec();
}
