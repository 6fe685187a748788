// SPDX-License-Identifier: Apache-2.0
// Prints the text of one control of the running Telltale window, as UTF-8
// with its line ends as they are, or where the control sits, for the
// end-to-end test under Wine:
//   win32_control_text NAME
//   win32_control_text --geometry NAME
// NAME is a name from the layout table. Exit status 1 when the window or the
// control cannot be found or does not answer.
//   win32_control_text --accessible
//   win32_control_text --accessible-expected
// print, for the window and then each control of the table, a line
// "NAME<TAB>ACCESSIBLE NAME<TAB>DESCRIPTION": as a screen reader gets them
// from the running window, or as the layout table gives them.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which they need.
#include <oleacc.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "telltale/platform/win32/wide_text.h"
#include "window/common/form1_layout.h"
#include "window/win32/form1_win32.h"

namespace {

// A window that hangs makes the test fail rather than wait with it.
constexpr UINT kAnswerMs = 5000;

HWND FindForm() {
  HWND form = FindWindowW(telltale::win32::kForm1ClassName, nullptr);
  if (form == nullptr) {
    static_cast<void>(std::fputs("no Telltale window\n", stderr));
  }
  return form;
}

// The control named `name` in the layout table, or nullptr.
HWND FindControl(const std::string& name) {
  HWND form = FindForm();
  if (form == nullptr) {
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

// One of the texts a screen reader reads, as UTF-8; "(HRESULT 0x...)" when
// the object fails to give it, so that the comparison shows the failure.
template <typename Getter>
std::string AccessibleText(Getter get) {
  BSTR text = nullptr;
  const HRESULT result = get(&text);
  if (FAILED(result)) {
    char failure[32];
    static_cast<void>(std::snprintf(failure, sizeof failure, "(HRESULT 0x%08lx)",
                                    static_cast<unsigned long>(result)));
    return failure;
  }
  std::string utf8 =
      text == nullptr ? std::string() : telltale::Utf8FromWide({text, SysStringLen(text)});
  SysFreeString(text);
  return utf8;
}

// The accessible name and description of `window`'s client area, as a
// screen reader asks for them.
std::string AccessibleTexts(HWND window) {
  IAccessible* object = nullptr;
  const HRESULT result =
      AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                 reinterpret_cast<void**>(&object));
  if (FAILED(result)) {
    return AccessibleText([result](BSTR*) { return result; });
  }
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  std::string texts = AccessibleText([&](BSTR* text) { return object->get_accName(self, text); });
  texts += '\t';
  texts += AccessibleText([&](BSTR* text) { return object->get_accDescription(self, text); });
  object->Release();
  return texts;
}

int PrintAccessible(bool expected) {
  HWND form = nullptr;
  if (!expected) {
    form = FindForm();
    if (form == nullptr) {
      return 1;
    }
  }
  const auto print = [](std::string_view name, const std::string& texts) {
    static_cast<void>(
        std::printf("%.*s\t%s\n", static_cast<int>(name.size()), name.data(), texts.c_str()));
  };
  const auto table = [](std::string_view spoken, std::string_view described) {
    return std::string(spoken) + '\t' + std::string(described);
  };
  using telltale::form1::kForm;
  print(kForm.name, expected ? table(kForm.spoken, kForm.described) : AccessibleTexts(form));
  for (std::size_t index = 0; index < telltale::form1::kControls.size(); ++index) {
    const telltale::form1::ControlEntry& entry = telltale::form1::kControls.at(index);
    print(entry.name, expected
                          ? table(entry.spoken, entry.described)
                          : AccessibleTexts(GetDlgItem(form, telltale::win32::ControlId(index))));
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  if (argc == 2 && (std::wstring_view(argv[1]) == L"--accessible" ||
                    std::wstring_view(argv[1]) == L"--accessible-expected")) {
    static_cast<void>(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    const int status = PrintAccessible(std::wstring_view(argv[1]) == L"--accessible-expected");
    CoUninitialize();
    return status;
  }
  const bool geometry = argc == 3 && std::wstring_view(argv[1]) == L"--geometry";
  if (argc != 2 && !geometry) {
    static_cast<void>(std::fputs(
        "usage: win32_control_text [--geometry] NAME | --accessible | --accessible-expected\n",
        stderr));
    return 2;
  }
  HWND control = FindControl(telltale::Utf8FromWide(argv[argc - 1]));
  if (control == nullptr) {
    return 1;
  }
  return geometry ? PrintGeometry(control) : PrintText(control);
}
