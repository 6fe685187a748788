// SPDX-License-Identifier: Apache-2.0
// Form1's controls as Qt widgets, made from the entries of the layout table.
#pragma once

#include <QString>
#include <QWidget>
#include <string_view>

#include "window/common/form1_layout.h"

namespace telltale {

// A text of the layout table, UTF-8.
QString FromTable(std::string_view text);

// The widget for `entry`, a child of `parent`, where the table puts it, with
// its name, text and the names a screen reader announces. It takes no drop:
// a file dropped on it is the window's.
QWidget* MakeControl(QWidget& parent, const form1::ControlEntry& entry);

}  // namespace telltale
