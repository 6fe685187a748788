// Prints the text of one control of the running Telltale window, as UTF-8
// with its line ends as they are, for the end-to-end test under Wine:
//   win32_control_text NAME
// NAME is a name from the layout table. Exit status 1 when the window or the
// control cannot be found or does not answer.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "window/form1_layout.h"
#include "window/win32/form1_win32.h"
#include "window/win32/utf16.h"

namespace {

// A window that hangs makes the test fail rather than wait with it.
constexpr UINT kAnswerMs = 5000;

int Print(const std::string& name) {
  HWND form = FindWindowW(telltale::win32::kForm1ClassName, nullptr);
  if (form == nullptr) {
    static_cast<void>(std::fputs("no Telltale window\n", stderr));
    return 1;
  }
  HWND control = nullptr;
  for (std::size_t index = 0; index < telltale::form1::kControls.size(); ++index) {
    if (telltale::form1::kControls.at(index).name == name) {
      control = GetDlgItem(form, telltale::win32::ControlId(index));
    }
  }
  if (control == nullptr) {
    static_cast<void>(std::fprintf(stderr, "no control %s\n", name.c_str()));
    return 1;
  }
  DWORD_PTR length = 0;
  if (SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &length) ==
      0) {
    static_cast<void>(std::fputs("the window does not answer\n", stderr));
    return 1;
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                          SMTO_ABORTIFHUNG, kAnswerMs, &copied) == 0) {
    static_cast<void>(std::fputs("the window does not answer\n", stderr));
    return 1;
  }
  text.resize(copied);
  const std::string utf8 = telltale::win32::ToUtf8(text);
  // Binary, so that CR LF reaches the test as the box holds it.
  static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
  static_cast<void>(std::fwrite(utf8.data(), 1, utf8.size(), stdout));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  if (argc != 2) {
    static_cast<void>(std::fputs("usage: win32_control_text NAME\n", stderr));
    return 2;
  }
  return Print(telltale::win32::ToUtf8(argv[1]));
}
