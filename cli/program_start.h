// SPDX-License-Identifier: Apache-2.0
// What the scanner does first, before anything is opened: each system's
// standard streams made safe to use, and the arguments as UTF-8 or raw bytes.
#pragma once

#include <string>
#include <vector>

namespace telltale::cli {

// The program's arguments, its name first. On POSIX systems they are
// `argv`'s bytes; on Windows they are read from the wide command line and
// converted to UTF-8, since `argv` holds them in the ANSI code page, which
// cannot spell most names. Throws std::system_error.
std::vector<std::string> StartProgram(int argc, char** argv);

}  // namespace telltale::cli
