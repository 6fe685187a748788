// The window that shows how far a long Run has come and lets the user end it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "detection/telltale.h"

namespace telltale::win32 {

// A small modeless window owned by the main window: the file's name, the
// bytes read of the bytes to read, a bar and a Cancel button. Cancel, Escape
// and the window's close button call `on_cancel`. Not modal: the main window
// is disabled during a Run instead, and this window keeps taking input.
class ProgressWindow {
 public:
  // Shows the window at once, centred over `owner`.
  ProgressWindow(HWND owner, HFONT font, const std::wstring& path, std::function<void()> on_cancel);
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  void Update(const ScanProgress& progress);

  // Gives Escape, Tab and Enter meant for this window to it; true when
  // `message` was taken.
  bool TranslateKeyboard(MSG& message);

  [[nodiscard]] HWND handle() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  std::function<void()> on_cancel_;
  HWND window_ = nullptr;
  HWND file_ = nullptr;
  HWND bytes_ = nullptr;
  HWND bar_ = nullptr;
  std::wstring bytes_text_;  // what bytes_ shows, to redraw only on a change
};

// "120.5 MiB of 2.0 GiB", in the units Qt's data sizes use.
std::wstring BytesDoneText(const ScanProgress& progress);

}  // namespace telltale::win32
