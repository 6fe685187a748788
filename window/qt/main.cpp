// SPDX-License-Identifier: Apache-2.0
// The Telltale window program: `telltale [FILE]`.
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <cstdio>
#include <memory>

#include "telltale/telltale.h"
#include "window/common/arguments.h"
#include "window/qt/form1.h"
#include "window/qt/open_display.h"

int main(int argc, char* argv[]) {
  // The command line is answered before any display is opened, so that help,
  // the version and a refusal work where there is none.
  const telltale::Arguments arguments = telltale::ParseArguments(argc, argv);
  switch (arguments.action) {
    case telltale::Arguments::Action::kHelp:
      static_cast<void>(std::fputs(telltale::ArgumentsHelp(), stdout));
      return 0;
    case telltale::Arguments::Action::kVersion:
      static_cast<void>(
          std::printf("Telltale %s\n%s", telltale::kVersion, telltale::kCopyrightLines));
      return 0;
    case telltale::Arguments::Action::kRefuse:
      static_cast<void>(std::fprintf(stderr, "telltale: %s; usage: telltale [--help | FILE]\n",
                                     arguments.refusal.c_str()));
      return 2;
    case telltale::Arguments::Action::kOpen:
      break;
  }

  const std::unique_ptr<QApplication> app = telltale::OpenDisplay(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Telltale"));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(telltale::kVersion));
  QApplication::setDesktopFileName(QStringLiteral("telltale"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/telltale/telltale.png")));

  telltale::Form1 form;
  form.show();
  if (arguments.file) {
    form.StartRun(*arguments.file);
  }
  return QApplication::exec();
}
