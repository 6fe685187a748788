#include "cli/open_file_limit.h"

#include <sys/resource.h>

namespace telltale::cli {

void RaiseOpenFileLimit() {
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);
  }
}

}  // namespace telltale::cli
