// SPDX-License-Identifier: Apache-2.0
#include "cli/console.h"

#include <unistd.h>

#include "cli/output_sizes.h"
#include "cli/terminal.h"
#include "telltale/platform/descriptor_io.h"
#include "telltale/telltale.h"

namespace telltale::cli {
namespace {

constexpr std::string_view kEraseLine = "\r\033[K";

// Standard error is where failures are reported: a failure to write it has
// nowhere left to go.
void WriteErr(int fd, std::string_view text) {
  try {
    WriteFully(fd, text, "standard error");
  } catch (const std::system_error&) {
  }
}

}  // namespace

Console::Console(bool status_line, int out_fd, int err_fd)
    : out_fd_(out_fd),
      err_fd_(err_fd),
      status_line_(status_line),
      stdout_is_terminal_(IsTerminal(out_fd)) {}

void Console::Write(Stream stream, std::string_view text) {
  const std::lock_guard lock(mutex_);
  if (stream == Stream::kErr) {
    FlushLocked();  // keeps the order of both when they go to one place
    EraseStatusLocked();
    WriteErr(err_fd_, text);
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
  if (block_.size() >= kConsoleBlockBytes) {
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
  WriteErr(err_fd_, text);
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
  try {
    WriteFully(out_fd_, text, "standard output");
  } catch (const std::system_error& e) {
    error_ = e.code();
    out_failed_.request_stop();
  }
}

void Console::FlushLocked() {
  WriteOutLocked(block_);
  block_.clear();
}

void Console::EraseStatusLocked() {
  if (status_shown_) {
    WriteErr(err_fd_, kEraseLine);
    status_shown_ = false;
  }
}

}  // namespace telltale::cli
