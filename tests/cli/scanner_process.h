// SPDX-License-Identifier: Apache-2.0
// Runs the real telltale-scan and gathers what it printed; files to scan are
// made in a temporary directory.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "telltale/scan_content.h"
#include "test_support.h"

namespace telltale::cli::testing {

using telltale::testing::RandomText;
using telltale::testing::TempDir;

// The exit status of a run that could not be started as asked: it could not
// leave root (see RunOptions::one_thread) or could not be executed. `err`
// then says why.
inline constexpr int kNotStarted = 127;

struct ScannerRun {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
  std::size_t input_left = 0;  // bytes of RunOptions::input it never took
};

struct RunOptions {
  std::string input;                // written to standard input, which is then closed
  std::string input_file;           // else standard input is read from this file
  std::string output_file;          // standard output goes here instead of being kept
  std::filesystem::path directory;  // the working directory, if not ours
  std::vector<int> closed;          // standard descriptors it starts without
  bool output_terminal = false;     // standard output is a terminal (raw: no line-end changes)
  // Started where the system gives it no thread beyond its first: with a
  // limit of one process for its user, and when we are root, whom the limit
  // does not bind, as the user nobody. The files it reads must then be
  // readable by all.
  bool one_thread = false;
  // Where not 0, the soft and hard limit on the files it may hold open.
  unsigned open_files = 0;
  // Called with its process id once all of `input` has been written, before
  // its standard input is closed. Meanwhile nothing reads its output.
  std::function<void(pid_t)> before_input_ends;
};

RunOptions InDirectory(const std::filesystem::path& directory);
RunOptions WithInput(std::string input);
RunOptions WithInputFile(std::string input_file);
RunOptions WithOutputFile(std::string output_file);

// Runs telltale-scan with `args`. A run that takes more than a minute is
// killed and fails the test. Throws std::system_error when it cannot be set
// up (no pseudo-terminal, for one).
ScannerRun RunScanner(const std::vector<std::string>& args, const RunOptions& options = {});

// The findings of the whole-content scan, in its order.
std::vector<ScanFinding> FindingsOf(std::string_view content);

// The default output for one file, built from the whole-content scan.
std::string ExpectedLines(std::string_view path, std::string_view content);

// The lines of `text`, each without its newline; a last one without a
// newline is left out.
std::vector<std::string> Lines(const std::string& text);

// The JSON Lines of `out` whose "type" is one of `types`, in their order.
std::string Records(const std::string& out, std::initializer_list<std::string_view> types);

// Compares long outputs by their first differing line: a full diff of
// megabytes of text would take longer than the run.
::testing::AssertionResult SameLines(const std::string& actual, const std::string& expected);

}  // namespace telltale::cli::testing
