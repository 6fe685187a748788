#include "cli/console.h"

#include <unistd.h>

#include "cli/write_all.h"

namespace telltale::cli {
namespace {

constexpr std::string_view kEraseLine = "\r\033[K";
constexpr std::size_t kBlockSize = std::size_t{64} << 10;

}  // namespace

Console::Console(bool status_line)
    : status_line_(status_line), stdout_is_terminal_(::isatty(STDOUT_FILENO) == 1) {}

void Console::Write(Stream stream, std::string_view text) {
  const std::lock_guard lock(mutex_);
  if (stream == Stream::kErr) {
    FlushLocked();  // keeps the order of both when they go to one place
    EraseStatusLocked();
    WriteAll(STDERR_FILENO, text);  // nowhere left to report a failure
    return;
  }
  if (stdout_is_terminal_) {
    EraseStatusLocked();
    WriteOutLocked(text);
    return;
  }
  if (block_.empty()) {
    block_since_ = std::chrono::steady_clock::now();
  }
  block_ += text;
  if (block_.size() >= kBlockSize) {
    FlushLocked();
  }
}

void Console::FlushIfOlderThan(std::chrono::milliseconds age) {
  const std::lock_guard lock(mutex_);
  if (!block_.empty() && std::chrono::steady_clock::now() - block_since_ >= age) {
    FlushLocked();
  }
}

void Console::ShowStatus(std::string_view line) {
  if (!status_line_) {
    return;
  }
  const std::lock_guard lock(mutex_);
  std::string text(kEraseLine.substr(0, 1));
  text += line;
  text += kEraseLine.substr(1);  // clears what a longer earlier line left
  WriteAll(STDERR_FILENO, text);
  status_shown_ = true;
}

void Console::ClearStatus() {
  const std::lock_guard lock(mutex_);
  EraseStatusLocked();
}

void Console::Finish() {
  const std::lock_guard lock(mutex_);
  FlushLocked();
  if (failed()) {
    throw std::system_error(error_, "standard output");
  }
}

void Console::WriteOutLocked(std::string_view text) {
  if (failed()) {
    return;
  }
  if (const int error = WriteAll(STDOUT_FILENO, text); error != 0) {
    error_ = std::error_code(error, std::generic_category());
    failed_.store(true, std::memory_order_relaxed);
  }
}

void Console::FlushLocked() {
  WriteOutLocked(block_);
  block_.clear();
}

void Console::EraseStatusLocked() {
  if (status_shown_) {
    WriteAll(STDERR_FILENO, kEraseLine);
    status_shown_ = false;
  }
}

}  // namespace telltale::cli
