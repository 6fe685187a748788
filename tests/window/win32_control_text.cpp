// SPDX-License-Identifier: Apache-2.0
// Prints the text of one control of the running Telltale window, as UTF-8
// with its line ends as they are, or where the control sits, for the
// end-to-end test under Wine:
//   win32_control_text NAME
//   win32_control_text --geometry NAME
// NAME is a name from the layout table. Exit status 1 when the window or the
// control cannot be found or does not answer.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "telltale/platform/win32/wide_text.h"
#include "window/common/form1_layout.h"
#include "window/win32/form1_win32.h"

namespace {

// A window that hangs makes the test fail rather than wait with it.
constexpr UINT kAnswerMs = 5000;

// The control named `name` in the layout table, or nullptr.
HWND FindControl(const std::string& name) {
  HWND form = FindWindowW(telltale::win32::kForm1ClassName, nullptr);
  if (form == nullptr) {
    static_cast<void>(std::fputs("no Telltale window\n", stderr));
    return nullptr;
  }
  for (std::size_t index = 0; index < telltale::form1::kControls.size(); ++index) {
    if (telltale::form1::kControls.at(index).name == name) {
      return GetDlgItem(form, telltale::win32::ControlId(index));
    }
  }
  static_cast<void>(std::fprintf(stderr, "no control %s\n", name.c_str()));
  return nullptr;
}

int PrintText(HWND control) {
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
  const std::string utf8 = telltale::Utf8FromWide(text);
  // Binary, so that CR LF reaches the test as the box holds it.
  static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
  static_cast<void>(std::fwrite(utf8.data(), 1, utf8.size(), stdout));
  return 0;
}

// "LEFT TOP WIDTH HEIGHT" in pixels of the window's client area.
int PrintGeometry(HWND control) {
  RECT bounds{};
  GetWindowRect(control, &bounds);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&bounds), 2);
  static_cast<void>(std::printf("%ld %ld %ld %ld\n", bounds.left, bounds.top,
                                bounds.right - bounds.left, bounds.bottom - bounds.top));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  const bool geometry = argc == 3 && std::wstring_view(argv[1]) == L"--geometry";
  if (argc != 2 && !geometry) {
    static_cast<void>(std::fputs("usage: win32_control_text [--geometry] NAME\n", stderr));
    return 2;
  }
  HWND control = FindControl(telltale::Utf8FromWide(argv[argc - 1]));
  if (control == nullptr) {
    return 1;
  }
  return geometry ? PrintGeometry(control) : PrintText(control);
}
