// SPDX-License-Identifier: Apache-2.0
#include "window/win32/open_dialog_win32.h"

#include <commdlg.h>

#include <cwchar>
#include <string>

namespace telltale::win32 {
namespace {

// Long enough for any path the system takes.
constexpr DWORD kLongestPath = 32768;

// The dialog takes no folder to start in of MAX_PATH characters or more
// (Wine's overruns a buffer of its own and ends the program): it starts in
// the nearest folder above that it takes, or where it would by itself.
std::wstring FolderTheDialogTakes(std::wstring folder) {
  while (folder.size() >= MAX_PATH) {
    const std::size_t last = folder.find_last_of(L'\\');
    folder.resize(last == std::wstring::npos ? 0 : last);
  }
  return folder;
}

}  // namespace

std::optional<std::wstring> ShowOpenDialog(HWND owner, const std::wstring& folder) {
  std::wstring file(kLongestPath, L'\0');
  const std::wstring start = FolderTheDialogTakes(folder);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = L"All files (*.*)\0*.*\0";
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = kLongestPath;
  dialog.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
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
