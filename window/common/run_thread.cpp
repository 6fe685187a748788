// SPDX-License-Identifier: Apache-2.0
#include "window/common/run_thread.h"

#include <system_error>
#include <utility>

namespace telltale {

void RunThread::Start(std::string path, ResultsSink& sink,
                      const std::function<void()>& on_finished) {
  try {
    thread_ =
        std::jthread([this, path = std::move(path), &sink, on_finished](std::stop_token stop) {
          const ScanControl control{
              .stop = std::move(stop),
              .on_progress =
                  [this](const ScanProgress& progress) {
                    done_.store(progress.done, std::memory_order_relaxed);
                    total_.store(progress.total, std::memory_order_relaxed);
                  },
              .on_data = nullptr,
              .on_end = nullptr,
          };
          try {
            RunScan(path, sink, control);
          } catch (...) {
            // Handed to the window's thread, which tells the user.
            failure_ = std::current_exception();
          }
          finished_.store(true, std::memory_order_release);
          on_finished();
        });
  } catch (const std::system_error&) {
    // No thread to run on: the Run fails as any other does, so that the
    // failure reaches the user the same way.
    failure_ = std::current_exception();
    finished_.store(true, std::memory_order_release);
    on_finished();
  }
}

void RunThread::JoinAndRethrow() {
  if (thread_.joinable()) {
    thread_.join();
  }
  if (failure_) {
    std::rethrow_exception(failure_);
  }
}

}  // namespace telltale
