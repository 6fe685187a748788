// SPDX-License-Identifier: Apache-2.0
// Telltale's main window on Win32, drawn from the layout table: the Run
// button, the results box, the instructions, the logo and the three
// information lines.
#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "window/common/form1_layout.h"
#include "window/common/run_presenter.h"
#include "window/common/run_view.h"
#include "window/win32/form1_class.h"

namespace telltale::win32 {

class ProgressWindow;

// The identifier of the control at `index` of the layout table, by which
// other programs, such as the tests, can find it.
constexpr int ControlId(std::size_t index) { return 100 + static_cast<int>(index); }

// Draws what its RunPresenter decides about a Run, and forwards the user's
// acts to it. Its members are defined by job: the window and its messages
// in form1_win32.cpp, the keyboard in form1_keyboard.cpp, what a Run shows
// in form1_run_view.cpp.
class Form1 : private RunView {
 public:
  // Creates the window, hidden; the icon and the logo come from the
  // program's resources.
  explicit Form1(HINSTANCE instance);
  // A Run still going is stopped and waited for.
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  void Show(int show_command);

  // Starts a Run on `path`, UTF-8, as if the file had been chosen in the
  // Open dialog. Nothing happens while a Run is going.
  void StartRun(const std::string& path);

  // The window's own keyboard handling, to be offered each message before it
  // is dispatched: Tab in the table's order, the Run button's access key and
  // Enter, and the progress window's keys. True when `message` was taken.
  bool TranslateKeyboard(MSG& message);

  // A failure that escaped a message handler ends the message loop; it is
  // thrown again here, to be reported where the program catches failures.
  void RethrowFailure() const;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  // The font, the logo and the window class, once the window is gone.
  void ReleaseResources();
  // Lays the window out at `dpi` dots per inch: the controls' places and
  // sizes, the font and the logo; the window's own size is left to the caller.
  void ApplyDpi(int dpi);
  // The window's outer size whose client area is the layout's at `dpi`.
  [[nodiscard]] static SIZE FrameSize(int dpi);
  void MoveFocus(bool backwards);
  void OnCommand(int id, int code);
  // Any edit of the logo notice empties it.
  void OnLogoNoticeChanged();
  [[nodiscard]] HWND Control(std::size_t index) const { return controls_.at(index); }

  // RunView
  std::optional<std::string> AskForFile(const std::string& folder) override;
  void SetBusy(bool busy) override;
  void StartTicks(std::chrono::milliseconds every) override;
  void StopTicks() override;
  void ShowProgress(const ProgressShown& shown) override;
  void HideProgress() override;
  void SetResults(const std::string& text) override;
  void ShowFailureBox(const RunFailure& failure) override;
  void PostRunFinished() override;

  HINSTANCE instance_;
  HWND window_ = nullptr;
  // The DPI the window is laid out at, with its font and logo.
  int dpi_ = 0;
  HFONT font_ = nullptr;
  HBITMAP logo_ = nullptr;
  // One per entry of the layout table, in its order.
  std::array<HWND, form1::kControls.size()> controls_{};
  // EN_CHANGE of the logo notice counts as an edit only once the controls
  // have their texts.
  bool ready_ = false;
  // The control the focus returns to when the window is activated again.
  HWND last_focus_ = nullptr;
  // While busy: the control that had the focus when the Run started.
  HWND run_focus_ = nullptr;
  std::unique_ptr<ProgressWindow> progress_;
  std::exception_ptr failure_;
  RunPresenter presenter_;
};

}  // namespace telltale::win32
