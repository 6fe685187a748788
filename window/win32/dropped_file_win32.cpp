// SPDX-License-Identifier: Apache-2.0
#include "window/win32/dropped_file_win32.h"

#include "telltale/platform/win32/wide_text.h"

namespace telltale::win32 {

std::optional<std::string> TakeDroppedFile(HDROP drop) {
  std::optional<std::string> file;
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    // An empty name names no file: a Run on it could only fail.
    if (length > 0 && DragQueryFileW(drop, 0, name.data(), length + 1) == length) {
      name.resize(length);
      file = Utf8FromWide(name);
    }
  }
  DragFinish(drop);
  return file;
}

}  // namespace telltale::win32
