// SPDX-License-Identifier: Apache-2.0
#include "window/win32/open_dialog_win32.h"

#include <commdlg.h>

#include <cwchar>

namespace telltale::win32 {
namespace {

// Long enough for any path the system takes.
constexpr DWORD kLongestPath = 32768;

}  // namespace

std::optional<std::wstring> ShowOpenDialog(HWND owner, const std::wstring& folder) {
  std::wstring file(kLongestPath, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = L"All files (*.*)\0*.*\0";
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = kLongestPath;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = L"Choose a file to check";
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                 OFN_NOCHANGEDIR | OFN_DONTADDTORECENT;
  if (GetOpenFileNameW(&dialog) == 0) {
    return std::nullopt;  // cancelled
  }
  file.resize(std::wcslen(file.c_str()));
  return file;
}

}  // namespace telltale::win32
