// SPDX-License-Identifier: Apache-2.0
// The dots per inch a window is drawn at, and its frame at that DPI.
#pragma once

#include <windows.h>

namespace telltale::win32 {

// The DPI of the monitor `window` is on, where the system tells each window
// its own (Windows 10 1607 on); the system's DPI elsewhere.
int WindowDpi(HWND window);

// The window rectangle whose client area is `client`, for a window of these
// styles drawn at `dpi`; at the system's DPI where the system cannot tell
// the frame at another.
RECT FrameAtDpi(RECT client, DWORD style, DWORD extended_style, int dpi);

// `value`, given for 96 dots per inch, at `dpi`, rounded as MulDiv rounds.
int ScaleForDpi(int value, int dpi);

}  // namespace telltale::win32
