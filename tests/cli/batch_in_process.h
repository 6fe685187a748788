// Runs the scanner's batch in this process, its standard output and error
// caught in memory files.
#pragma once

#include <string>
#include <vector>

#include "cli/batch_scan.h"

namespace telltale::cli::testing {

struct BatchRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Parses `args` as the command line after the program's name would be, then
// scans as ScanBatch does, with `directory` as the working directory when
// one is given.
BatchRun RunBatch(const std::vector<std::string>& args, const std::string& directory = {});

}  // namespace telltale::cli::testing
