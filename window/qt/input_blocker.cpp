// SPDX-License-Identifier: Apache-2.0
#include "window/qt/input_blocker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace telltale {
namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

}  // namespace

InputBlocker::InputBlocker(QWidget& window) : window_(window) {
  // On the application: one filter sees the events of every widget in the
  // window, without one for each widget.
  QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker() { QCoreApplication::instance()->removeEventFilter(this); }

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
  if (!watched->isWidgetType() || !IsUserInput(event->type())) {
    return false;
  }
  auto* widget = static_cast<QWidget*>(watched);
  // isAncestorOf stops at window borders: a dialog of the window passes.
  return widget == &window_ || window_.isAncestorOf(widget);
}

}  // namespace telltale
