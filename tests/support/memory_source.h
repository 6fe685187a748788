// SPDX-License-Identifier: Apache-2.0
// An input held in memory, for driving the streamed scan without files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "telltale/scan_source.h"

namespace telltale::testing {

// Read as a file (any offset, any number of times) or, with
// `can_read_again` false, as a pipe. Keeps a note of every read.
class MemorySource final : public ScanSource {
 public:
  struct ReadNote {
    std::uint64_t offset;
    std::size_t got;
    std::uintptr_t destination;
  };

  MemorySource(std::string_view content, bool can_read_again, std::string name = "memory")
      : content_(content), can_read_again_(can_read_again), name_(std::move(name)) {}

  [[nodiscard]] const std::string& name() const override { return name_; }
  [[nodiscard]] std::optional<std::uint64_t> size() const override {
    return can_read_again_ ? std::optional<std::uint64_t>(content_.size()) : std::nullopt;
  }
  [[nodiscard]] bool CanReadAgain() const override { return can_read_again_; }

  std::size_t Read(std::uint64_t offset, std::span<unsigned char> buffer) override {
    const std::size_t at = std::min<std::size_t>(offset, content_.size());
    const std::size_t count = std::min(buffer.size(), content_.size() - at);
    std::memcpy(buffer.data(), content_.data() + at, count);
    const std::lock_guard lock(mutex_);
    reads.push_back({offset, count, reinterpret_cast<std::uintptr_t>(buffer.data())});
    return count;
  }

  std::vector<ReadNote> reads;  // in the order they ended

 private:
  std::string content_;
  bool can_read_again_;
  std::string name_;
  std::mutex mutex_;
};

}  // namespace telltale::testing
