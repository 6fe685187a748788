// SPDX-License-Identifier: Apache-2.0
// The temporary file in $TMPDIR (or /tmp), without a name where possible.
#include "telltale/platform/temporary_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "telltale/platform/system_error.h"

namespace telltale {
namespace {

std::string TemporaryDirectory() {
  const char* dir = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe): nobody sets it
  return dir != nullptr && *dir != '\0' ? std::string(dir) : std::string("/tmp");
}

}  // namespace

// A file that has no name from the start where the file system allows it,
// else one that is unlinked at once.
int OpenUnnamedFile(const std::string& role) {
  const std::string dir = TemporaryDirectory();
  int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    return fd;
  }
  std::string pattern = dir + "/telltale-XXXXXX";
  fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    ThrowErrno(errno, role);
  }
  ::unlink(pattern.c_str());
  return fd;
}

}  // namespace telltale
