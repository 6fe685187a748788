// SPDX-License-Identifier: Apache-2.0
// Runs the scanner's batch in this process, its standard output and error
// caught in memory files.
#pragma once

#include <future>
#include <string>
#include <string_view>
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

// A batch run on a thread of its own, given a --files-from list that the
// test writes part by part through a pipe while it reads the run's standard
// error as it comes: what the scanner makes of the names it has before the
// list ends.
class BatchFedByPipe {
 public:
  // `args` as for RunBatch; the list comes after them.
  explicit BatchFedByPipe(const std::vector<std::string>& args);
  ~BatchFedByPipe();
  BatchFedByPipe(const BatchFedByPipe&) = delete;
  BatchFedByPipe& operator=(const BatchFedByPipe&) = delete;

  // The list's name, as messages give it.
  [[nodiscard]] const std::string& list() const { return list_; }
  void Feed(std::string_view part) const;
  // Waits until standard error holds `text`. False when it does not within
  // half a minute, far longer than a run that acts on the names it has
  // takes, even on a loaded machine.
  bool ErrorsShow(std::string_view text);
  // Ends the list, waits for the run and returns its status and standard
  // error; its standard output is not kept.
  BatchRun End();

 private:
  // Adds what the run has written to standard error; false at its end.
  bool ReadErrors();

  int list_in_ = -1;   // the run reads the list here
  int list_out_ = -1;  // the test writes it here
  int err_in_ = -1;
  int out_ = -1;
  std::string list_;
  std::string err_;
  std::future<int> status_;
};

}  // namespace telltale::cli::testing
