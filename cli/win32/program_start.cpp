// SPDX-License-Identifier: Apache-2.0
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>
#include <system_error>

#include "cli/program_start.h"
#include "telltale/platform/win32/wide_text.h"

namespace telltale::cli {

std::vector<std::string> StartProgram(int /*argc*/, char** /*argv*/) {
  // The help and version texts go through the C runtime: in binary mode it
  // writes them with LF line ends, as on Linux. Every other byte in or out
  // goes through the handles and is never translated anyway.
  for (const int fd : {0, 1, 2}) {
    ::_setmode(fd, _O_BINARY);
  }
  // The status line on a console is drawn with the terminal sequences a
  // Linux terminal takes.
  const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  if (DWORD mode = 0; ::GetConsoleMode(err, &mode) != 0) {
    ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }

  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> wide(
      ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
  if (!wide) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "the command line");
  }
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    arguments.push_back(Utf8FromWide(wide.get()[i]));
  }
  return arguments;
}

}  // namespace telltale::cli
