// Runs the real telltale-scan and gathers what it printed; files to scan are
// made in a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "detection/scan_content.h"
#include "test_support.h"

namespace telltale::cli::testing {

using telltale::testing::RandomText;
using telltale::testing::TempDir;

struct ScannerRun {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

struct RunOptions {
  std::string input;                // written to standard input, which is then closed
  std::string input_file;           // else standard input is read from this file
  std::string output_file;          // standard output goes here instead of being kept
  std::filesystem::path directory;  // the working directory, if not ours
};

RunOptions InDirectory(const std::filesystem::path& directory);
RunOptions WithInput(std::string input);
RunOptions WithInputFile(std::string input_file);
RunOptions WithOutputFile(std::string output_file);

// Runs telltale-scan with `args`. A run that takes more than a minute is
// killed and fails the test.
ScannerRun RunScanner(const std::vector<std::string>& args, const RunOptions& options = {});

// The findings of the whole-content scan, in its order.
std::vector<ScanFinding> FindingsOf(std::string_view content);

// The default output for one file, built from the whole-content scan.
std::string ExpectedLines(std::string_view path, std::string_view content);

// Compares long outputs by their first differing line: a full diff of
// megabytes of text would take longer than the run.
::testing::AssertionResult SameLines(const std::string& actual, const std::string& expected);

}  // namespace telltale::cli::testing
