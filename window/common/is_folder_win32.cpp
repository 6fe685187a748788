// SPDX-License-Identifier: Apache-2.0
// Through the Win32 call and the \\?\ form: std::filesystem asks the C
// runtime's stat, which may refuse a path past MAX_PATH.
#include <windows.h>

#include <system_error>

#include "telltale/platform/win32/extended_length_path.h"
#include "window/common/is_folder.h"

namespace telltale {

bool IsFolder(const std::string& path) {
  try {
    const DWORD attributes = ::GetFileAttributesW(ExtendedLengthPathOfUtf8(path, path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace telltale
