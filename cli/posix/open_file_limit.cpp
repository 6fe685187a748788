// SPDX-License-Identifier: Apache-2.0
#include "cli/open_file_limit.h"

#include <sys/resource.h>

#include <algorithm>
#include <limits>

namespace telltale::cli {

std::size_t RaiseOpenFileLimit() {
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) != 0) {
    return std::numeric_limits<std::size_t>::max();
  }
  if (files.rlim_cur < files.rlim_max) {
    const rlim_t before = files.rlim_cur;
    files.rlim_cur = files.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &files) != 0) {
      files.rlim_cur = before;
    }
  }
  if (files.rlim_cur == RLIM_INFINITY) {
    return std::numeric_limits<std::size_t>::max();
  }
  return static_cast<std::size_t>(
      std::min<rlim_t>(files.rlim_cur, std::numeric_limits<std::size_t>::max()));
}

}  // namespace telltale::cli
