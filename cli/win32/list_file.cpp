// SPDX-License-Identifier: Apache-2.0
#include "cli/list_file.h"

#include <windows.h>

#include <system_error>

#include "telltale/platform/win32/extended_length_path.h"
#include "telltale/platform/win32/handle_descriptor.h"
#include "telltale/platform/win32/win32_error.h"

namespace telltale::cli {

// A path in the \\?\ form may be 32767 UTF-16 units long, each of them at
// most three bytes in UTF-8.
const std::size_t kLongestListedName = std::size_t{32767} * 3;

int OpenListFile(const std::string& path, const std::string& shown) {
  const std::wstring wide = ExtendedLengthPathOfUtf8(path, shown);
  const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    throw std::system_error(Win32ErrorCode(::GetLastError()), shown);
  }
  return DescriptorOfHandle(handle, shown);
}

bool OpeningWaitsForWriter(const std::string& /*path*/) { return false; }

}  // namespace telltale::cli
