// SPDX-License-Identifier: Apache-2.0
#include "window/win32/progress_window.h"

#include <commctrl.h>

#include <utility>

#include "telltale/platform/win32/wide_text.h"
#include "window/common/progress_bar_steps.h"
#include "window/common/run_view.h"
#include "window/win32/last_error.h"
#include "window/win32/window_dpi.h"

namespace telltale::win32 {
namespace {

constexpr wchar_t kClassName[] = L"TelltaleRunProgress";
// In pixels at 96 DPI, scaled to the window's.
// Wide enough for a status line with a rate and hours left at 8 points.
constexpr int kClientWidth = 420;
constexpr int kClientHeight = 112;
constexpr int kMargin = 12;
constexpr int kLineHeight = 16;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kBarTop = 46;
constexpr DWORD kProgressStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kProgressExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

void RegisterClassOnce(HINSTANCE instance) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(instance, kClassName, &existing) != 0) {
    return;
  }
  // The progress bar is a common control: its class exists only once asked for.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_PROGRESS_CLASS;
  if (InitCommonControlsEx(&controls) == 0) {
    ThrowLastError("cannot load the progress bar");
  }
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = DefWindowProcW;  // replaced once the window knows its object
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  window_class.lpszClassName = kClassName;
  if (RegisterClassExW(&window_class) == 0) {
    ThrowLastError("cannot register the progress window");
  }
}

// Placed by ProgressWindow::Place().
HWND Child(HWND parent, const wchar_t* window_class, const wchar_t* text, DWORD style, int id,
           HFONT font) {
  HWND child = CreateWindowExW(
      0, window_class, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (child == nullptr) {
    ThrowLastError("cannot create the progress window");
  }
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

}  // namespace

ProgressWindow::ProgressWindow(HWND owner, HFONT font, const std::wstring& path,
                               std::function<void()> on_cancel)
    : on_cancel_(std::move(on_cancel)) {
  auto* const instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
  RegisterClassOnce(instance);

  // Centred over its owner, so on the owner's monitor and at its DPI.
  const int dpi = WindowDpi(owner);
  const RECT frame =
      FrameAtDpi({0, 0, ScaleForDpi(kClientWidth, dpi), ScaleForDpi(kClientHeight, dpi)},
                 kProgressStyle, kProgressExtendedStyle, dpi);
  RECT over{};
  GetWindowRect(owner, &over);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = over.left + (over.right - over.left - width) / 2;
  const int top = over.top + (over.bottom - over.top - height) / 2;
  window_ = CreateWindowExW(kProgressExtendedStyle, kClassName, L"Telltale", kProgressStyle, left,
                            top, width, height, owner, nullptr, instance, nullptr);
  if (window_ == nullptr) {
    ThrowLastError("cannot create the progress window");
  }
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));

  // The path is shortened in its middle when it is wider than the window.
  file_ = Child(window_, WC_STATICW, (WideForDisplay(kCheckingLead) + path).c_str(),
                SS_LEFT | SS_PATHELLIPSIS | SS_NOPREFIX, -1, font);
  status_line_ = Child(window_, WC_STATICW, L"", SS_LEFT | SS_ENDELLIPSIS | SS_NOPREFIX, -1, font);
  bar_ = Child(window_, PROGRESS_CLASSW, L"", 0, -1, font);
  SendMessageW(bar_, PBM_SETRANGE32, 0, kProgressBarSteps);
  cancel_ = Child(window_, WC_BUTTONW, L"Cancel", BS_DEFPUSHBUTTON | WS_TABSTOP, IDCANCEL, font);
  Place(dpi);
}

void ProgressWindow::Place(int dpi) {
  const auto scaled = [dpi](int pixels) { return ScaleForDpi(pixels, dpi); };
  const auto place = [&](HWND control, int left, int top, int width, int height) {
    MoveWindow(control, scaled(left), scaled(top), scaled(width), scaled(height), TRUE);
  };
  constexpr int kWidth = kClientWidth - 2 * kMargin;
  place(file_, kMargin, kMargin, kWidth, kLineHeight);
  place(status_line_, kMargin, kMargin + kLineHeight, kWidth, kLineHeight);
  place(bar_, kMargin, kBarTop, kWidth, kLineHeight);
  place(cancel_, kClientWidth - kMargin - kButtonWidth, kClientHeight - kMargin - kButtonHeight,
        kButtonWidth, kButtonHeight);
}

void ProgressWindow::SetFont(HFONT font) {
  for (HWND control : {file_, status_line_, bar_, cancel_}) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

ProgressWindow::~ProgressWindow() {
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

void ProgressWindow::Update(const std::wstring& status, int bar) {
  if (status != status_) {
    status_ = status;
    SetWindowTextW(status_line_, status_.c_str());
  }
  SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(bar), 0);
  if (IsWindowVisible(window_) == 0) {
    ShowWindow(window_, SW_SHOWNORMAL);
    SetFocus(cancel_);
  }
}

bool ProgressWindow::TranslateKeyboard(MSG& message) {
  return IsDialogMessageW(window_, &message) != 0;
}

LRESULT CALLBACK ProgressWindow::WindowProc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr) {
    // Escape reaches the window as IDCANCEL, as the Cancel button does.
    const bool cancel =
        (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL) || message == WM_CLOSE;
    if (cancel) {
      self->on_cancel_();
      return 0;
    }
    if (message == WM_DPICHANGED) {
      self->Place(static_cast<int>(LOWORD(wparam)));
      const RECT& suggested = *reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace telltale::win32
