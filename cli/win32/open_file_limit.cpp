#include "cli/open_file_limit.h"

namespace telltale::cli {

// Windows limits handles per process only by memory; the C runtime's table
// of descriptors wrapping them has a fixed size of its own.
void RaiseOpenFileLimit() {}

}  // namespace telltale::cli
