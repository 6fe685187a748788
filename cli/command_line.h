// SPDX-License-Identifier: Apache-2.0
// What the command line asks for.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "cli/batch_scan.h"

namespace telltale::cli {

struct CommandLine {
  enum class Action { kScan, kWindowText, kHelp, kVersion };
  Action action = Action::kScan;
  BatchOptions batch;       // kScan
  std::string window_path;  // kWindowText
  bool quiet = false;
};

// A command line that cannot be carried out; what() says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws UsageError.
CommandLine ParseCommandLine(int argc, char** argv);

// The text of --help.
const char* HelpText();

}  // namespace telltale::cli
