// SPDX-License-Identifier: Apache-2.0
// Standard output and standard error, shared by every job, with an optional
// status line kept at the bottom of the terminal.
#pragma once

#include <chrono>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <system_error>

namespace telltale::cli {

enum class Stream { kOut, kErr };

// Standard output that is not a terminal is written in blocks, as grep does,
// so that many small files do not cost a write each; what waits in the block
// goes out when it is full, before anything is written to standard error,
// when FlushIfOlderThan finds it old, and at Finish.
class Console {
 public:
  // With `status_line`, ShowStatus draws on standard error, which must then
  // be a terminal. The streams are the descriptors given.
  Console(bool status_line, int out_fd, int err_fd);

  // Writes all of `text`, erasing the status line first where it is in the
  // way. A failure to write standard output is kept (see Finish), requests a
  // stop on output_failed(), and later output is dropped.
  void Write(Stream stream, std::string_view text);
  void FlushIfOlderThan(std::chrono::milliseconds age);

  // Replaces the status line; it stays until the next write or ClearStatus.
  void ShowStatus(std::string_view line);
  void ClearStatus();

  [[nodiscard]] bool out_is_terminal() const { return stdout_is_terminal_; }
  [[nodiscard]] bool failed() const { return out_failed_.stop_requested(); }
  // Stopped once writing standard output has failed: whatever is still
  // being scanned can no longer be shown.
  [[nodiscard]] std::stop_token output_failed() const { return out_failed_.get_token(); }
  // Writes what waits; throws std::system_error when writing standard output
  // failed at any time.
  void Finish();

 private:
  void WriteOutLocked(std::string_view text);
  void FlushLocked();
  void EraseStatusLocked();

  std::mutex mutex_;
  const int out_fd_;
  const int err_fd_;
  const bool status_line_;
  const bool stdout_is_terminal_;
  bool status_shown_ = false;
  std::string block_;  // standard output not yet written
  std::chrono::steady_clock::time_point block_since_;
  std::error_code error_;
  std::stop_source out_failed_;
};

}  // namespace telltale::cli
