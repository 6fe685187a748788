// SPDX-License-Identifier: Apache-2.0
// Keeps the user's input away from one window while a Run goes on.
#pragma once

#include <QObject>

class QEvent;
class QWidget;

namespace telltale {

// For as long as it lives, drops the clicks, keys, shortcuts, wheel turns and
// touches aimed at `window` or at any widget inside it. They are dropped, not
// held back, so nothing is replayed when the blocker goes. Everything else
// passes: painting, timers, closing the window, and input to other windows,
// such as the window's own progress dialog.
class InputBlocker final : public QObject {
  Q_OBJECT

 public:
  explicit InputBlocker(QWidget& window);
  ~InputBlocker() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
};

}  // namespace telltale
