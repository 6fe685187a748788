// SPDX-License-Identifier: Apache-2.0
// Whether a name the user gave is a folder, which the window does not scan.
#pragma once

#include <string>

namespace telltale {

// `path` is UTF-8 on Windows, bytes elsewhere. False when it cannot be told
// (scanning it will then say why).
bool IsFolder(const std::string& path);

}  // namespace telltale
