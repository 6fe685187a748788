#include "window/display_check.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace telltale {
namespace {

constexpr int kNoDisplayExit = 2;

bool g_active = false;
QtMessageHandler g_previous = nullptr;
QString g_reason;  // the library's first word on the platform: why it gives up

[[noreturn]] void EndForNoDisplay(const QString& reason) {
  static_cast<void>(std::fprintf(stderr, "telltale: no display: %s\n", qPrintable(reason)));
  std::_Exit(kNoDisplayExit);
}

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

DisplayCheck::DisplayCheck() {
  const bool platform_named = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
  if (!platform_named && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    EndForNoDisplay(QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set"));
  }
  g_previous = qInstallMessageHandler(OnMessage);
  g_active = true;
}

DisplayCheck::~DisplayCheck() { Passed(); }

void DisplayCheck::Passed() {
  if (g_active) {
    qInstallMessageHandler(g_previous);
    g_active = false;
  }
}

}  // namespace telltale
