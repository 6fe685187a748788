// SPDX-License-Identifier: Apache-2.0
// Through the Win32 call and the \\?\ form: std::filesystem asks the C
// runtime's stat, which may refuse a path past MAX_PATH.
#include "telltale/platform/win32/extended_length_path.h"
#include "window/common/is_folder.h"

namespace telltale {

bool IsFolder(const std::string& path) { return IsFolderPath(path); }

}  // namespace telltale
