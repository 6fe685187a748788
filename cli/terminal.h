// SPDX-License-Identifier: Apache-2.0
// Whether a standard stream is an interactive terminal, told in each
// system's own way (posix/, win32/).
#pragma once

namespace telltale::cli {

// `fd` is 1 or 2. On Windows only a console counts: a terminal emulator
// there talks through a pipe, which cannot tell a status line apart.
bool IsTerminal(int fd);

}  // namespace telltale::cli
