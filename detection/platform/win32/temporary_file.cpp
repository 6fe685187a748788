// SPDX-License-Identifier: Apache-2.0
// The temporary file in the user's folder for temporary files, deleted by the
// system when its handle closes, even if the program is killed.
#include "telltale/platform/temporary_file.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "telltale/platform/win32/extended_length_path.h"
#include "telltale/platform/win32/handle_descriptor.h"
#include "telltale/platform/win32/win32_error.h"

namespace telltale {

int OpenUnnamedFile(const std::string& role) {
  std::wstring folder(MAX_PATH + 1, L'\0');
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  if (length == 0 || length > folder.size()) {
    ThrowLastWin32Error(role);
  }
  folder.resize(length);  // ends with a backslash
  // The folder may be near MAX_PATH long already.
  folder = ExtendedLengthPath(folder, role);
  static std::atomic<unsigned> serial{0};
  for (;;) {
    const std::wstring path = folder + L"telltale-" + std::to_wstring(::GetCurrentProcessId()) +
                              L"-" + std::to_wstring(serial++) + L".tmp";
    // No sharing: nobody else opens it while it exists.
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      return DescriptorOfHandle(handle, role);
    }
    // Left by a program of the same number that was killed: take the next.
    if (const DWORD error = ::GetLastError(); error != ERROR_FILE_EXISTS) {
      ThrowWin32Error(error, role);
    }
  }
}

}  // namespace telltale
