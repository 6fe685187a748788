// SPDX-License-Identifier: Apache-2.0
#include "cli/list_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <system_error>

namespace telltale::cli {

const std::size_t kLongestListedName = PATH_MAX;

int OpenListFile(const std::string& path, const std::string& shown) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    throw std::system_error(errno, std::generic_category(), shown);
  }
  return fd;
}

bool OpeningWaitsForWriter(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
}

}  // namespace telltale::cli
