// telltale-scan: the command-line scanner for many files at once.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <exception>
#include <iostream>
#include <system_error>
#include <utility>

#include "cli/batch_scan.h"
#include "cli/command_line.h"
#include "cli/exit_status.h"
#include "cli/window_text.h"
#include "detection/telltale.h"

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

int Run(int argc, char** argv) {
  KeepStandardStreamsTaken();  // before anything else is opened
  using telltale::cli::CommandLine;
  CommandLine line = telltale::cli::ParseCommandLine(argc, argv);
  switch (line.action) {
    case CommandLine::Action::kHelp:
      std::cout << telltale::cli::HelpText() << std::flush;
      return std::cout ? telltale::cli::kExitFound : telltale::cli::kExitTrouble;
    case CommandLine::Action::kVersion:
      std::cout << "telltale-scan " << telltale::kVersion << std::endl;
      return std::cout ? telltale::cli::kExitFound : telltale::cli::kExitTrouble;
    case CommandLine::Action::kWindowText:
      return telltale::cli::PrintWindowText(line.window_path);
    case CommandLine::Action::kScan:
      break;
  }
  line.batch.progress = !line.quiet && ::isatty(STDERR_FILENO) == 1;
  return telltale::cli::ScanBatch(std::move(line.batch));
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const telltale::cli::UsageError& e) {
    std::cerr << "telltale-scan: " << e.what()
              << "\nTry 'telltale-scan --help' for more information.\n";
  } catch (const std::system_error& e) {
    std::cerr << "telltale-scan: " << e.what() << " (error " << e.code().value() << ")\n";
  } catch (const std::exception& e) {
    std::cerr << "telltale-scan: " << e.what() << '\n';
  }
  return telltale::cli::kExitTrouble;
}
