// SPDX-License-Identifier: Apache-2.0
// The walk of a BMP: one region, as long as the file size its header
// declares. Only that size (bytes 2..5) is read; the pixels are counted.
#include <algorithm>
#include <array>
#include <limits>

#include "structure/format_walk.h"

namespace telltale {
namespace {

constexpr std::size_t kSizeFieldEnd = 6;  // "BM", then the file size, little-endian

class BmpWalk final : public FormatWalk {
 public:
  // The input starts with a plausible BMP header: the structure walk has
  // checked it.
  explicit BmpWalk(RegionList& regions) : regions_(regions) {
    regions_.Mark(0, "inside the BMP image");
  }

  void Feed(std::span<const unsigned char> bytes, std::uint64_t /*offset*/) override {
    if (done()) {
      return;
    }
    for (std::size_t at = 0; head_size_ < kSizeFieldEnd && at < bytes.size(); ++at) {
      head_[head_size_++] = bytes[at];
      if (head_size_ == kSizeFieldEnd) {
        size_ = std::uint64_t{head_[2]} | (std::uint64_t{head_[3]} << 8) |
                (std::uint64_t{head_[4]} << 16) | (std::uint64_t{head_[5]} << 24);
      }
    }
    position_ += bytes.size();
    if (size_ && position_ >= *size_) {
      ended_at_ = size_;
    }
  }

  void Finish(std::uint64_t end) override {
    if (!done()) {
      broken_at_ = end;
      regions_.Mark(end, BreakContext("BMP", end));
    }
  }

  [[nodiscard]] std::uint64_t settled() const override {
    if (broken_at_) {
      return std::numeric_limits<std::uint64_t>::max();
    }
    // Cut short, the image breaks at the input's end, after every byte there
    // is: up to the declared size, nothing can change.
    return size_.value_or(0);
  }
  [[nodiscard]] std::optional<std::uint64_t> ended_at() const override { return ended_at_; }
  [[nodiscard]] std::optional<std::uint64_t> broken_at() const override { return broken_at_; }

 private:
  [[nodiscard]] bool done() const { return ended_at_ || broken_at_; }

  RegionList& regions_;
  std::array<unsigned char, kSizeFieldEnd> head_{};
  std::size_t head_size_ = 0;
  std::uint64_t position_ = 0;
  std::optional<std::uint64_t> size_;
  std::optional<std::uint64_t> ended_at_;
  std::optional<std::uint64_t> broken_at_;
};

}  // namespace

std::unique_ptr<FormatWalk> MakeBmpWalk(RegionList& regions) {
  return std::make_unique<BmpWalk>(regions);
}

}  // namespace telltale
