// SPDX-License-Identifier: Apache-2.0
// The messages and the timer Form1 sends itself about a Run.
#pragma once

#include <windows.h>

namespace telltale::win32 {

// Posted by the Run's thread as its last act.
inline constexpr UINT kRunFinished = WM_APP + 1;
// Ticks while a Run goes on, for RunPresenter::OnTick().
inline constexpr UINT_PTR kPollTimer = 1;

}  // namespace telltale::win32
