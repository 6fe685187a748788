// SPDX-License-Identifier: Apache-2.0
#include "cli/terminal.h"

#include <io.h>
#include <windows.h>

#include <cstdint>

namespace telltale::cli {

// _isatty says yes for any character device, NUL included, and answers with
// a flag (64), not 1: a console is what GetConsoleMode accepts.
bool IsTerminal(int fd) {
  auto* const handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace telltale::cli
