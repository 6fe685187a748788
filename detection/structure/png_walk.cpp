// SPDX-License-Identifier: Apache-2.0
// The walk of a PNG: the signature, then chunk after chunk up to the end of
// IEND's CRC. Only a chunk's 8-byte header (length and type) is held; its
// data and CRC are passed over by counting, so any chunk size costs nothing.
#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "structure/format_walk.h"

namespace telltale {
namespace {

constexpr std::uint64_t kSignatureSize = 8;
constexpr std::size_t kHeaderSize = 8;  // length (4, big-endian) and type (4)
constexpr std::uint64_t kCrcSize = 4;
constexpr std::uint32_t kMaxChunkLength = 0x7FFF'FFFF;

bool IsChunkTypeLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

class PngWalk final : public FormatWalk {
 public:
  // The input starts with the PNG signature: the structure walk has seen it.
  explicit PngWalk(RegionList& regions) : regions_(regions) { regions_.Mark(0, "PNG signature"); }

  void Feed(std::span<const unsigned char> bytes, std::uint64_t /*offset*/) override {
    std::size_t at = 0;
    while (at < bytes.size() && !done()) {
      if (skip_ > 0) {
        const auto count = std::min<std::uint64_t>(skip_, bytes.size() - at);
        skip_ -= count;
        at += static_cast<std::size_t>(count);
        position_ += count;
        if (skip_ == 0 && in_last_chunk_) {
          ended_at_ = position_;
        }
        continue;
      }
      header_[header_size_++] = bytes[at++];
      ++position_;
      if (header_size_ == kHeaderSize) {
        ReadHeader();
      }
    }
  }

  void Finish(std::uint64_t end) override {
    if (done()) {
      return;
    }
    // A chunk whose length and type the input cuts off cannot be named: the
    // walk breaks where it starts. Inside a named chunk it breaks at the end,
    // so that what came before keeps its place.
    Break(skip_ > 0 ? end : position_ - header_size_);
  }

  [[nodiscard]] std::uint64_t settled() const override {
    if (broken_at_) {
      return std::numeric_limits<std::uint64_t>::max();
    }
    if (ended_at_) {
      return *ended_at_;
    }
    // A chunk is named once its header is read, up to the end of its CRC.
    return skip_ > 0 ? position_ + skip_ : position_ - header_size_;
  }
  [[nodiscard]] std::optional<std::uint64_t> ended_at() const override { return ended_at_; }
  [[nodiscard]] std::optional<std::uint64_t> broken_at() const override { return broken_at_; }

 private:
  [[nodiscard]] bool done() const { return ended_at_ || broken_at_; }

  void ReadHeader() {
    header_size_ = 0;
    const std::uint64_t start = position_ - kHeaderSize;
    const std::uint32_t length = (std::uint32_t{header_[0]} << 24) |
                                 (std::uint32_t{header_[1]} << 16) |
                                 (std::uint32_t{header_[2]} << 8) | std::uint32_t{header_[3]};
    const auto* type_begin = header_.data() + 4;
    if (length > kMaxChunkLength || !std::all_of(type_begin, type_begin + 4, IsChunkTypeLetter)) {
      Break(start);
      return;
    }
    const std::string_view type(reinterpret_cast<const char*>(type_begin), 4);
    std::string context = "inside PNG ";
    context += type;
    context += " chunk";
    regions_.Mark(start, context);
    skip_ = std::uint64_t{length} + kCrcSize;
    in_last_chunk_ = type == "IEND";
  }

  void Break(std::uint64_t at) {
    broken_at_ = at;
    regions_.Mark(at, BreakContext("PNG", at));
  }

  RegionList& regions_;
  std::uint64_t position_ = 0;           // the offset of the next byte fed
  std::uint64_t skip_ = kSignatureSize;  // bytes still to pass over
  std::array<unsigned char, kHeaderSize> header_{};
  std::size_t header_size_ = 0;
  bool in_last_chunk_ = false;
  std::optional<std::uint64_t> ended_at_;
  std::optional<std::uint64_t> broken_at_;
};

}  // namespace

std::unique_ptr<FormatWalk> MakePngWalk(RegionList& regions) {
  return std::make_unique<PngWalk>(regions);
}

}  // namespace telltale
