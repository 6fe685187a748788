// SPDX-License-Identifier: Apache-2.0
#include "cli/terminal.h"

#include <unistd.h>

namespace telltale::cli {

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

}  // namespace telltale::cli
