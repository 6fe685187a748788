// The JSON records that open and close a run's output: what ran, when and
// how, and what it came to.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "detection/telltale.h"

namespace telltale::cli {

// {"type":"run",...}: the program and its version, `command_line` as given,
// the start in UTC to the millisecond, and `access_times`, how the run
// treats the access times of what it reads.
std::string RunRecord(const std::vector<std::string>& command_line,
                      std::chrono::system_clock::time_point started, std::string_view access_times);

struct RunTotals {
  std::uint64_t scanned = 0;  // inputs read to their end
  std::uint64_t failed = 0;
  std::uint64_t skipped = 0;
  std::uint64_t bytes = 0;
  FindingCounts findings{};
  std::chrono::steady_clock::duration elapsed{};
  int exit_status = 0;
};

// {"type":"summary",...}: the last record of a run.
std::string SummaryRecord(const RunTotals& totals);

}  // namespace telltale::cli
