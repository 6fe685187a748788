// SPDX-License-Identifier: Apache-2.0
// Shows the busy cursor over every window for as long as it lives.
#pragma once

#include <QGuiApplication>

namespace telltale {

class BusyCursor {
 public:
  BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace telltale
