// SPDX-License-Identifier: Apache-2.0
// Runs telltale-scan.exe, as built beside the test program, the way a
// Windows shell would: a wide command line, standard input through a pipe,
// standard output and error kept apart.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace telltale::windows_testing {

struct ScannerRun {
  unsigned long status = 0;  // the exit code
  std::string out;
  std::string err;
};

// `arguments` are UTF-8 and are quoted as CommandLineToArgvW reads them
// back; `input` is written to standard input, which is then closed. Runs in
// `directory`. Throws std::system_error when the program cannot be started;
// one that runs for more than a minute is killed and throws too.
ScannerRun RunScanner(const std::vector<std::string>& arguments, std::string_view input,
                      const std::filesystem::path& directory);

}  // namespace telltale::windows_testing
