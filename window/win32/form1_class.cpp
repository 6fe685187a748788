// SPDX-License-Identifier: Apache-2.0
#include "window/win32/form1_class.h"

#include <cstdlib>

#include "window/common/form1_layout.h"
#include "window/win32/last_error.h"

namespace telltale::win32 {

void RegisterForm1Class(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, L"IDI_ICON1");
  window_class.hIconSm = static_cast<HICON>(LoadImageW(instance, L"IDI_ICON1", IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), 0));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // The window takes the colour text boxes have, as the Qt window does.
  window_class.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  window_class.lpszClassName = kForm1ClassName;
  if (RegisterClassExW(&window_class) == 0) {
    ThrowLastError("cannot register the window class");
  }
}

HFONT MakeLayoutFont(int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  LOGFONTW font{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != 0) {
    font = metrics.lfMessageFont;
  } else {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  }
  // The system gives its font at the system's DPI: its height in points
  // stays, its pixels are counted again at the window's.
  HDC screen = GetDC(nullptr);
  const int system_dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (system_dpi > 0 && system_dpi != dpi) {
    font.lfHeight = MulDiv(font.lfHeight, dpi, system_dpi);
  }
  constexpr int kPointsPerInch = 72;
  const LONG largest = MulDiv(form1::kForm.largest_point_size, dpi, kPointsPerInch);
  if (std::abs(font.lfHeight) > largest) {
    font.lfHeight = -largest;
  }
  HFONT made = CreateFontIndirectW(&font);
  if (made == nullptr) {
    ThrowLastError("cannot create the window's font");
  }
  return made;
}

}  // namespace telltale::win32
