// SPDX-License-Identifier: Apache-2.0
// Prints the text of one control of the running Telltale window, as UTF-8
// with its line ends as they are, or where the control sits, for the
// end-to-end test under Wine:
//   win32_control_text NAME
//   win32_control_text --geometry NAME
//   win32_control_text --twips NAME
//   win32_control_text --common-controls
// NAME is a name from the layout table. --twips prints the control's
// rectangle in the table, "LEFT TOP WIDTH HEIGHT" in twips, or for Form1 the
// client area's "WIDTH HEIGHT", with no window needed. --common-controls
// prints the path of the comctl32.dll the window's process loaded: the
// side-by-side assembly of version 6 when the manifest asks for the visual
// styles. Exit status 1 when the window or the control cannot be found or
// does not answer.
//   win32_control_text --accessible
//   win32_control_text --accessible-expected
// --accessible and --accessible-expected print, for the window and then each
// control of the table, a line "NAME<TAB>ACCESSIBLE NAME<TAB>DESCRIPTION": as
// a screen reader gets them from the running window, or as the layout table
// gives them.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which they need.
#include <oleacc.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

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

int PrintTwips(const std::string& name) {
  if (name == telltale::form1::kForm.name) {
    static_cast<void>(std::printf("%d %d\n", telltale::form1::kForm.client_width,
                                  telltale::form1::kForm.client_height));
    return 0;
  }
  for (const telltale::form1::ControlEntry& entry : telltale::form1::kControls) {
    if (entry.name == name) {
      const telltale::form1::TwipsRect& r = entry.bounds;
      static_cast<void>(std::printf("%d %d %d %d\n", r.left, r.top, r.width, r.height));
      return 0;
    }
  }
  static_cast<void>(std::fprintf(stderr, "no control %s\n", name.c_str()));
  return 1;
}

int PrintCommonControls() {
  HWND form = FindWindowW(telltale::win32::kForm1ClassName, nullptr);
  DWORD process_id = 0;
  if (form == nullptr || GetWindowThreadProcessId(form, &process_id) == 0) {
    static_cast<void>(std::fputs("no Telltale window\n", stderr));
    return 1;
  }
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id);
  if (process == nullptr) {
    static_cast<void>(
        std::fprintf(stderr, "cannot open the window's process: error %lu\n", GetLastError()));
    return 1;
  }
  std::vector<HMODULE> modules(1024);
  DWORD bytes = 0;
  const BOOL listed = EnumProcessModules(
      process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &bytes);
  modules.resize(listed != 0 ? std::min<std::size_t>(modules.size(), bytes / sizeof(HMODULE)) : 0);
  int status = 1;
  for (HMODULE module : modules) {
    std::wstring name(MAX_PATH, L'\0');
    name.resize(GetModuleBaseNameW(process, module, name.data(), MAX_PATH));
    if (CompareStringOrdinal(name.c_str(), -1, L"comctl32.dll", -1, TRUE) != CSTR_EQUAL) {
      continue;
    }
    std::wstring path(32768, L'\0');
    path.resize(
        GetModuleFileNameExW(process, module, path.data(), static_cast<DWORD>(path.size())));
    static_cast<void>(std::printf("%s\n", telltale::Utf8FromWide(path).c_str()));
    status = 0;
  }
  CloseHandle(process);
  if (status != 0) {
    static_cast<void>(std::fputs("the window's process has no comctl32.dll\n", stderr));
  }
  return status;
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
  if (argc == 2 && std::wstring_view(argv[1]) == L"--common-controls") {
    return PrintCommonControls();
  }
  if (argc == 3 && std::wstring_view(argv[1]) == L"--twips") {
    return PrintTwips(telltale::Utf8FromWide(argv[2]));
  }
  if (argc == 2 && (std::wstring_view(argv[1]) == L"--accessible" ||
                    std::wstring_view(argv[1]) == L"--accessible-expected")) {
    static_cast<void>(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    const int status = PrintAccessible(std::wstring_view(argv[1]) == L"--accessible-expected");
    CoUninitialize();
    return status;
  }
  const bool geometry = argc == 3 && std::wstring_view(argv[1]) == L"--geometry";
  if (argc != 2 && !geometry) {
    static_cast<void>(
        std::fputs("usage: win32_control_text [--geometry | --twips] NAME | --common-controls |"
                   " --accessible | --accessible-expected\n",
                   stderr));
    return 2;
  }
  HWND control = FindControl(telltale::Utf8FromWide(argv[argc - 1]));
  if (control == nullptr) {
    return 1;
  }
  return geometry ? PrintGeometry(control) : PrintText(control);
}
