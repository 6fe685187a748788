// SPDX-License-Identifier: Apache-2.0
// The name and description a screen reader announces for a window or a
// control, as the layout table gives them.
#pragma once

#include <windows.h>

#include <string_view>

namespace telltale::win32 {

// Gives `window` the accessible name `spoken` and, unless it is empty, the
// accessible description `described` (both UTF-8), for as long as the
// window lives. The control's other accessible properties stay the
// system's. Throws std::system_error when the window cannot be given them.
void SetAccessibleTexts(HWND window, std::string_view spoken, std::string_view described);

}  // namespace telltale::win32
