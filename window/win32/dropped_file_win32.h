// SPDX-License-Identifier: Apache-2.0
// The file a drop on the window names.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <optional>
#include <string>

namespace telltale::win32 {

// The one file `drop` carries, UTF-8, or nothing when it carries several,
// none, or an empty name.
// Ends the drop: `drop` is not to be used after.
std::optional<std::string> TakeDroppedFile(HDROP drop);

}  // namespace telltale::win32
