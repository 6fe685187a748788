// SPDX-License-Identifier: Apache-2.0
// Scanning every input of a run with a pool of jobs.
#pragma once

#include <unistd.h>

#include <string>
#include <vector>

#include "cli/output_format.h"

namespace telltale::cli {

struct BatchOptions {
  std::vector<std::string> paths;
  // Each path, and each name in `files_from`, is a disk image, whose files
  // and unallocated blocks are scanned rather than it.
  bool images = false;
  // With `images`, each image's data checked against the hash it stores.
  bool verify = false;
  bool recursive = false;
  bool follow_links = false;  // follow symbolic links met in a walk
  OutputFormat format = OutputFormat::kFindings;
  // A NUL byte after each path instead of ':' in the findings and counts
  // formats, and between the names of `files_from`.
  bool null_separated = false;
  // Lists of more paths, read in turn after `paths`; "-" for standard input.
  std::vector<std::string> files_from;
  unsigned jobs = 1;
  bool progress = false;  // draw a progress line on standard error
  bool hash = false;      // SHA-256 of each input, in the counts and JSON formats
  // Each finding's place in the input's structure, in the findings format
  // (JSON always carries it; a count has none).
  bool explain = false;
  // Only the findings whose place the input's format does not explain are
  // reported, counted and make the exit status.
  bool unexplained = false;
  // The words the run was started with, for the JSON run record.
  std::vector<std::string> command_line;
  int out_fd = STDOUT_FILENO;
  int err_fd = STDERR_FILENO;
};

// Scans every input, printing what it finds in input order whatever the
// number of jobs, and failures on standard error without stopping. Returns
// the exit status. Throws std::system_error when standard output fails or
// a list of paths cannot be opened.
int ScanBatch(BatchOptions options);

}  // namespace telltale::cli
