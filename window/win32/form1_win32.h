// Telltale's main window on Win32, drawn from the layout table: the Run
// button, the results box, the instructions, the logo and the three
// information lines.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <array>
#include <cstddef>
#include <exception>
#include <memory>
#include <string>

#include "window/common/form1_layout.h"

namespace telltale::win32 {

inline constexpr wchar_t kForm1ClassName[] = L"TelltaleForm1";

// The identifier of the control at `index` of the layout table, by which
// other programs, such as the tests, can find it.
constexpr int ControlId(std::size_t index) { return 100 + static_cast<int>(index); }

class Form1 {
 public:
  // Creates the window, hidden; the icon and the logo come from the
  // program's resources.
  explicit Form1(HINSTANCE instance);
  // A Run still going is stopped and waited for.
  ~Form1();
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
  // A Run going on, with all it holds; destroying it ends the Run.
  struct ActiveRun;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  void MoveFocus(bool backwards);
  void OnCommand(int id, int code);
  // Asks for a file and starts scanning it on a thread of its own. Until the
  // Run ends the window is disabled, and a progress window appears should the
  // Run take a while.
  void OnRunClicked();
  void OnDropFiles(HDROP drop);
  void OnTimer();
  // The results box gets the last report, or the reason the file could not
  // be scanned; a failure is then reported, unless the user cancelled.
  void OnRunFinished();
  // Any edit of the logo notice empties it.
  void OnLogoNoticeChanged();
  void StopRun();
  [[nodiscard]] HWND Control(std::size_t index) const { return controls_.at(index); }

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  HBITMAP logo_ = nullptr;
  // One per entry of the layout table, in its order.
  std::array<HWND, form1::kControls.size()> controls_{};
  // EN_CHANGE of the logo notice counts as an edit only once the controls
  // have their texts.
  bool ready_ = false;
  // The control the focus returns to when the window is activated again.
  HWND last_focus_ = nullptr;
  // Where the Open dialog starts: the user's folder, then the folder of the
  // file scanned last, however it was chosen.
  std::wstring dialog_folder_;
  std::unique_ptr<ActiveRun> run_;
  std::exception_ptr failure_;
};

}  // namespace telltale::win32
