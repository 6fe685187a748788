// SPDX-License-Identifier: Apache-2.0
// The walk of a GIF: header and logical screen descriptor, the global colour
// table, then extension and image blocks up to the trailer. The whole image
// is one region; the walk only has to find where it ends, or the first block
// byte it cannot follow. Colour tables and sub-blocks are passed over by
// counting; at most an image descriptor's 9 bytes are held.
#include <algorithm>
#include <array>
#include <limits>

#include "structure/format_walk.h"

namespace telltale {
namespace {

constexpr std::size_t kScreenSize = 13;          // "GIF89a", then the logical screen descriptor
constexpr std::size_t kImageDescriptorSize = 9;  // after the 2C that starts it
constexpr unsigned char kExtension = 0x21;
constexpr unsigned char kImage = 0x2C;
constexpr unsigned char kTrailer = 0x3B;

// A packed field's colour table: flagged by bit 7, 2^(size+1) RGB entries.
std::uint64_t ColourTableSize(unsigned char packed) {
  return (packed & 0x80U) != 0 ? std::uint64_t{3} << ((packed & 0x07U) + 1) : 0;
}

class GifWalk final : public FormatWalk {
 public:
  // The input starts "GIF87a" or "GIF89a": the structure walk has seen it.
  explicit GifWalk(RegionList& regions) : regions_(regions) {
    regions_.Mark(0, "inside the GIF image");
  }

  void Feed(std::span<const unsigned char> bytes, std::uint64_t /*offset*/) override {
    std::size_t at = 0;
    while (at < bytes.size() && !done()) {
      if (skip_ > 0) {
        const auto count = std::min<std::uint64_t>(skip_, bytes.size() - at);
        skip_ -= count;
        at += static_cast<std::size_t>(count);
        position_ += count;
        continue;
      }
      field_[field_size_++] = bytes[at++];
      ++position_;
      if (field_size_ == field_need_) {
        field_size_ = 0;
        ReadField();
      }
    }
  }

  void Finish(std::uint64_t end) override {
    if (!done()) {
      Break(end);
    }
  }

  [[nodiscard]] std::uint64_t settled() const override {
    if (broken_at_) {
      return std::numeric_limits<std::uint64_t>::max();
    }
    if (ended_at_) {
      return *ended_at_;
    }
    return skip_ > 0 ? position_ + skip_ : position_ - field_size_;
  }
  [[nodiscard]] std::optional<std::uint64_t> ended_at() const override { return ended_at_; }
  [[nodiscard]] std::optional<std::uint64_t> broken_at() const override { return broken_at_; }

 private:
  // What the next field holds.
  enum class Field { kScreen, kBlock, kExtensionLabel, kImageDescriptor, kCodeSize, kSubBlockSize };

  [[nodiscard]] bool done() const { return ended_at_ || broken_at_; }

  void Expect(Field field, std::size_t size) {
    field_kind_ = field;
    field_need_ = size;
  }

  void ReadField() {
    switch (field_kind_) {
      case Field::kScreen:
        skip_ = ColourTableSize(field_[10]);
        Expect(Field::kBlock, 1);
        break;
      case Field::kBlock:
        if (field_[0] == kExtension) {
          Expect(Field::kExtensionLabel, 1);
        } else if (field_[0] == kImage) {
          Expect(Field::kImageDescriptor, kImageDescriptorSize);
        } else if (field_[0] == kTrailer) {
          ended_at_ = position_;
        } else {
          Break(position_ - 1);
        }
        break;
      case Field::kExtensionLabel:
        Expect(Field::kSubBlockSize, 1);
        break;
      case Field::kImageDescriptor:
        skip_ = ColourTableSize(field_[8]);
        Expect(Field::kCodeSize, 1);
        break;
      case Field::kCodeSize:
        Expect(Field::kSubBlockSize, 1);
        break;
      case Field::kSubBlockSize:
        // A zero size ends the sub-blocks; any other is that many data bytes.
        skip_ = field_[0];
        Expect(field_[0] == 0 ? Field::kBlock : Field::kSubBlockSize, 1);
        break;
    }
  }

  void Break(std::uint64_t at) {
    broken_at_ = at;
    regions_.Mark(at, BreakContext("GIF", at));
  }

  RegionList& regions_;
  std::uint64_t position_ = 0;  // the offset of the next byte fed
  std::uint64_t skip_ = 0;      // bytes still to pass over
  std::array<unsigned char, kScreenSize> field_{};
  std::size_t field_size_ = 0;
  std::size_t field_need_ = kScreenSize;
  Field field_kind_ = Field::kScreen;
  std::optional<std::uint64_t> ended_at_;
  std::optional<std::uint64_t> broken_at_;
};

}  // namespace

std::unique_ptr<FormatWalk> MakeGifWalk(RegionList& regions) {
  return std::make_unique<GifWalk>(regions);
}

}  // namespace telltale
