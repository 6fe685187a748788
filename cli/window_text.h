// SPDX-License-Identifier: Apache-2.0
// What the window's results box holds after a Run on one file.
#pragma once

#include <string>

namespace telltale::cli {

// Runs the window's Run on `path` and writes the last text it set to
// standard output, byte for byte. Returns the exit status; failures leave as
// std::system_error.
int PrintWindowText(const std::string& path);

}  // namespace telltale::cli
