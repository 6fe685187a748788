// SPDX-License-Identifier: Apache-2.0
// Where a scan reads its input from: a file that can be read again at any
// offset, or a stream such as a pipe that can be read once.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace telltale {

class ScanSource {
 public:
  virtual ~ScanSource() = default;
  ScanSource(const ScanSource&) = delete;
  ScanSource& operator=(const ScanSource&) = delete;

  // The input's name as messages show it.
  [[nodiscard]] virtual const std::string& name() const = 0;
  // Its size in bytes, when known before it is read.
  [[nodiscard]] virtual std::optional<std::uint64_t> size() const = 0;
  // Whether Read may go back to bytes already read.
  [[nodiscard]] virtual bool CanReadAgain() const = 0;

  // Fills `buffer` with the bytes from `offset` on and returns the count,
  // fewer than asked only at the input's end. A source that can read again
  // may be asked from several threads at once; one that cannot is asked from
  // one thread, only ever for the offset where its last read ended. Throws
  // std::system_error.
  virtual std::size_t Read(std::uint64_t offset, std::span<unsigned char> buffer) = 0;

  // Throws std::system_error when the input is no longer what was read at
  // first, so that two passes over it never mix two versions.
  virtual void CheckUnchanged() const {}

 protected:
  ScanSource() = default;
};

// A descriptor read once from where it stands to its end: standard input, a
// pipe, a terminal.
class StreamSource final : public ScanSource {
 public:
  StreamSource(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}

  [[nodiscard]] const std::string& name() const override { return name_; }
  [[nodiscard]] std::optional<std::uint64_t> size() const override { return std::nullopt; }
  [[nodiscard]] bool CanReadAgain() const override { return false; }
  std::size_t Read(std::uint64_t offset, std::span<unsigned char> buffer) override;

 private:
  int fd_;
  std::string name_;
};

}  // namespace telltale
