#include "window/background_run.h"

#include <system_error>
#include <utility>

namespace telltale {

// std::jthread asks its thread to stop, then joins it.
BackgroundRun::~BackgroundRun() = default;

void BackgroundRun::Start(std::string path, ResultsSink& sink) {
  try {
    thread_ = std::jthread([this, path = std::move(path), &sink](std::stop_token stop) {
      Run(path, sink, std::move(stop));
    });
  } catch (const std::system_error&) {
    // No thread to run on: the Run fails as any other does, so that the
    // failure reaches the user the same way.
    failure_ = std::current_exception();
    emit finished();
  }
}

void BackgroundRun::RequestStop() { thread_.request_stop(); }

ScanProgress BackgroundRun::Progress() const {
  return {done_.load(std::memory_order_relaxed), total_.load(std::memory_order_relaxed)};
}

void BackgroundRun::JoinAndRethrow() {
  if (thread_.joinable()) {
    thread_.join();
  }
  if (failure_) {
    std::rethrow_exception(failure_);
  }
}

void BackgroundRun::Run(const std::string& path, ResultsSink& sink, std::stop_token stop) {
  const ScanControl control{
      .stop = std::move(stop),
      .on_progress =
          [this](const ScanProgress& progress) {
            done_.store(progress.done, std::memory_order_relaxed);
            total_.store(progress.total, std::memory_order_relaxed);
          },
      .on_data = nullptr,
  };
  try {
    RunScan(path, sink, control);
  } catch (...) {
    // Handed to the window's thread, which tells the user.
    failure_ = std::current_exception();
  }
  emit finished();
}

}  // namespace telltale
