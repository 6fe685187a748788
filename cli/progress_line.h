// SPDX-License-Identifier: Apache-2.0
// A line on the terminal that tells how far a long scan has come.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "cli/console.h"

namespace telltale::cli {

// Counts are updated by the jobs as they go; when enabled, a thread redraws
// the console's status line a few times a second, from the second second on,
// and clears it at the end.
class ProgressLine {
 public:
  ProgressLine(Console& console, bool enabled);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void AddTotal(std::uint64_t bytes) { total_.fetch_add(bytes, std::memory_order_relaxed); }
  void AddDone(std::uint64_t bytes) { done_.fetch_add(bytes, std::memory_order_relaxed); }
  void InputDone() { inputs_.fetch_add(1, std::memory_order_relaxed); }

 private:
  void Draw(const std::stop_token& stop);

  Console& console_;
  std::atomic<std::uint64_t> total_{0};  // sizes of the inputs opened so far
  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> inputs_{0};
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::jthread drawer_;  // last: it uses everything above
};

}  // namespace telltale::cli
