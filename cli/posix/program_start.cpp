// SPDX-License-Identifier: Apache-2.0
#include "cli/program_start.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>
#include <utility>

namespace telltale::cli {
namespace {

// A standard stream closed when the program starts leaves its number free
// for the next file opened, which would then be read as standard input or
// written as output. Each closed one is opened onto /dev/null, in the
// direction it is not used in, so that its number stays taken while every
// use of it still fails with EBADF as on the closed descriptor: "-" is then
// a failure of that input only ("(standard input): Bad file descriptor"),
// and anything to print fails the run with exit status 2, as a write to a
// closed standard output should; notes on a closed standard error are lost.
void KeepStandardStreamsTaken() {
  constexpr std::array<std::pair<int, int>, 3> kUnusedDirection{{
      {STDIN_FILENO, O_WRONLY},
      {STDOUT_FILENO, O_RDONLY},
      {STDERR_FILENO, O_RDONLY},
  }};
  for (const auto& [fd, flags] : kUnusedDirection) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    // The lowest free number is this one: those below are open by now. It
    // is meant to be inherited, as a standard stream is.
    const int opened = ::open("/dev/null", flags);
    if (opened != fd) {
      const int error = opened < 0 ? errno : EBADF;
      if (opened >= 0) {
        ::close(opened);
      }
      throw std::system_error(error, std::generic_category(),
                              "/dev/null, in place of a closed standard stream");
    }
  }
}

}  // namespace

std::vector<std::string> StartProgram(int argc, char** argv) {
  KeepStandardStreamsTaken();
  return {argv, argv + argc};
}

}  // namespace telltale::cli
