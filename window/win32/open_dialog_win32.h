// SPDX-License-Identifier: Apache-2.0
// The common Open dialog, as the Run button shows it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace telltale::win32 {

// Asks for one existing file, modally over `owner`, starting in `folder`
// (the system's choice when empty). Nothing when the user cancelled. It
// adds no recent-documents entry: the program writes nothing.
std::optional<std::wstring> ShowOpenDialog(HWND owner, const std::wstring& folder);

}  // namespace telltale::win32
