// SPDX-License-Identifier: Apache-2.0
// The platform's Open dialog, as the Run button shows it.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>

namespace telltale {

// Asks for one existing file, modally. Empty when the user cancelled.
std::optional<QString> ShowOpenDialog(QWidget& parent, const QString& folder);

}  // namespace telltale
