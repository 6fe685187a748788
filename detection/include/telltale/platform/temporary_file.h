// SPDX-License-Identifier: Apache-2.0
// A temporary file that nobody else can open and that goes when it is closed.
// Private to the detection library; each system's is in posix/ or win32/.
#pragma once

#include <string>

namespace telltale {

// Opens a new, empty file for reading and writing in the system's folder for
// temporary files and returns its descriptor; it is removed at the latest
// when the descriptor is closed. Failures are std::system_error named `role`.
int OpenUnnamedFile(const std::string& role);

}  // namespace telltale
