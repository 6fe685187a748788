// SPDX-License-Identifier: Apache-2.0
#include "window/qt/open_display.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace telltale {
namespace {

constexpr int kNoDisplayExit = 2;

QtMessageHandler g_previous = nullptr;
QString g_reason;  // the library's first word on the platform: why it gives up

[[noreturn]] void EndForNoDisplay(const QString& reason) {
  static_cast<void>(std::fprintf(stderr, "telltale: no display: %s\n", qPrintable(reason)));
  std::_Exit(kNoDisplayExit);
}

// In place while the application is made: a fatal message then means that
// no display could be reached.
void OnMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const QByteArray category = context.category != nullptr ? context.category : "";
  if (type == QtFatalMsg) {
    EndForNoDisplay(g_reason.isEmpty() ? message : g_reason);
  }
  if (category.startsWith("qt.qpa")) {
    if (g_reason.isEmpty()) {
      g_reason = message;  // "could not connect to display :5", and the like
    }
    return;
  }
  if (g_previous != nullptr) {
    g_previous(type, context, message);
  } else {
    static_cast<void>(std::fprintf(stderr, "%s\n", qPrintable(message)));
  }
}

}  // namespace

std::unique_ptr<QApplication> OpenDisplay(int argc, char** argv) {
  // The application keeps these for its lifetime, by reference.
  static char program_name[] = "telltale";
  static int qt_argc = 1;
  static std::array<char*, 2> qt_argv{argc > 0 && argv[0] != nullptr ? argv[0] : program_name,
                                      nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    EndForNoDisplay(QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set"));
  }
  g_previous = qInstallMessageHandler(OnMessage);
  auto application = std::make_unique<QApplication>(qt_argc, qt_argv.data());
  qInstallMessageHandler(g_previous);
  return application;
}

}  // namespace telltale
