// SPDX-License-Identifier: Apache-2.0
// The modal message box that reports a failed Run.
#pragma once

#include <QWidget>

#include "window/common/run_failure.h"

namespace telltale {

// Returns when the user has dismissed the box.
void ShowFailureBox(QWidget& parent, const RunFailure& failure);

}  // namespace telltale
