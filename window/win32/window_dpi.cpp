// SPDX-License-Identifier: Apache-2.0
#include "window/win32/window_dpi.h"

#include "window/common/form1_layout.h"

namespace telltale::win32 {
namespace {

// GetDpiForWindow and AdjustWindowRectExForDpi came with Windows 10 1607.
// The manifest names Vista to 8.1 as systems the program runs on, and their
// user32 lacks both: imported by name they would stop the program loading
// there. So they are looked up as the program runs, and the system's DPI
// serves where they are missing.
template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) {
    return nullptr;
  }
  // A function pointer of the right type, as the system's headers declare it.
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) {
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : form1::kDefaultDpi;
}

}  // namespace

int WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto get_dpi = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (get_dpi != nullptr) {
    if (const UINT dpi = get_dpi(window); dpi > 0) {
      return static_cast<int>(dpi);
    }
  }
  return SystemDpi();
}

RECT FrameAtDpi(RECT client, DWORD style, DWORD extended_style, int dpi) {
  using AdjustFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = User32Function<AdjustFunction>("AdjustWindowRectExForDpi");
  RECT frame = client;
  if (adjust == nullptr ||
      adjust(&frame, style, FALSE, extended_style, static_cast<UINT>(dpi)) == 0) {
    frame = client;
    AdjustWindowRectEx(&frame, style, FALSE, extended_style);
  }
  return frame;
}

int ScaleForDpi(int value, int dpi) { return MulDiv(value, dpi, form1::kDefaultDpi); }

}  // namespace telltale::win32
