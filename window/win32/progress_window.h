// SPDX-License-Identifier: Apache-2.0
// The window that shows how far a long Run has come and lets the user end it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace telltale::win32 {

// A small modeless window owned by the main window: "Checking FILE", the
// status line, a bar and a Cancel button. Cancel, Escape and the window's
// close button call `on_cancel`. Not modal: the main window is disabled
// during a Run instead, and this window keeps taking input.
class ProgressWindow {
 public:
  // Centred over `owner`, hidden until the first Update(); laid out at the
  // owner's DPI.
  ProgressWindow(HWND owner, HFONT font, const std::wstring& path, std::function<void()> on_cancel);
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // Shows `status` under the file's name and the bar at `bar` (0 to
  // kProgressBarSteps); shows the window the first time.
  void Update(const std::wstring& status, int bar);

  // Gives Escape, Tab and Enter meant for this window to it; true when
  // `message` was taken.
  bool TranslateKeyboard(MSG& message);

  // The owner's font after a change of its DPI; the owner deletes the old
  // one once this returns.
  void SetFont(HFONT font);

  [[nodiscard]] HWND handle() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Places the controls at `dpi` dots per inch.
  void Place(int dpi);

  std::function<void()> on_cancel_;
  HWND window_ = nullptr;
  HWND file_ = nullptr;
  HWND status_line_ = nullptr;
  HWND bar_ = nullptr;
  HWND cancel_ = nullptr;
  std::wstring status_;  // what status_line_ shows, to redraw only on a change
};

}  // namespace telltale::win32
