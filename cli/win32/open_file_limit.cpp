// SPDX-License-Identifier: Apache-2.0
#include "cli/open_file_limit.h"

namespace telltale::cli {

// Windows limits handles per process only by memory; the C runtime's table
// of descriptors wrapping them holds 2048.
std::size_t RaiseOpenFileLimit() { return 2048; }

}  // namespace telltale::cli
