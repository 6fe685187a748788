// SPDX-License-Identifier: Apache-2.0
// One Run on a thread of its own, so that the window's thread stays free to
// repaint while the file is read. No toolkit: each window's front end says
// how the end of the Run reaches its own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>

#include "telltale/telltale.h"

namespace telltale {

class RunThread {
 public:
  RunThread() = default;
  // A Run still going is stopped and waited for: it ends before its next read.
  ~RunThread() = default;
  RunThread(const RunThread&) = delete;
  RunThread& operator=(const RunThread&) = delete;

  // Starts the Run of `path`; call once. `sink` is given the texts on the
  // Run's thread; nothing else may touch it until JoinAndRethrow() has
  // returned or thrown. `on_finished` is called on the Run's thread as its
  // last act; should no thread be had, it is called at once, and
  // JoinAndRethrow() throws why.
  void Start(std::string path, ResultsSink& sink, const std::function<void()>& on_finished);

  // Asks the Run to end before its next read; it then fails with ECANCELED.
  void RequestStop() { thread_.request_stop(); }

  // The bytes read so far of the bytes to read, as last reported by the Run.
  [[nodiscard]] ScanProgress Progress() const {
    return {done_.load(std::memory_order_relaxed), total_.load(std::memory_order_relaxed)};
  }

  // Whether the Run has ended: on_finished has been called, or is about to be.
  [[nodiscard]] bool Finished() const { return finished_.load(std::memory_order_acquire); }

  // Waits for the Run's thread to end (at once, after on_finished), then
  // returns if the Run succeeded and throws its failure if it did not.
  void JoinAndRethrow();

 private:
  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> total_{0};
  std::atomic<bool> finished_{false};
  std::exception_ptr failure_;  // written by the Run's thread before it ends
  // Last, so that the thread is joined before the members it uses go.
  std::jthread thread_;
};

}  // namespace telltale
