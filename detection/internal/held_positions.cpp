// SPDX-License-Identifier: Apache-2.0
#include "internal/held_positions.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>
#include <string>
#include <system_error>
#include <utility>

#include "telltale/platform/descriptor_io.h"
#include "telltale/platform/temporary_file.h"
#include "telltale/scan_error.h"

namespace telltale {
namespace {

// The longest encoding of a 64-bit distance.
constexpr std::size_t kMaxEncodedLength = 10;

}  // namespace

HeldPositions::HeldPositions(std::string input, std::size_t memory_bytes)
    : input_(std::move(input)), memory_bytes_(std::max(memory_bytes, kMaxEncodedLength)) {}

HeldPositions::~HeldPositions() {
  if (spill_fd_ >= 0) {
    ::close(spill_fd_);
  }
}

std::string HeldPositions::FileRole() const {
  return input_ + ": temporary file for held findings";
}

void HeldPositions::Add(Position position) {
  if (encoded_.size() + kMaxEncodedLength > memory_bytes_) {
    Spill();
  }
  for (Position distance = position - std::exchange(last_, position);; distance >>= 7U) {
    const auto low = static_cast<unsigned char>(distance & 0x7FU);
    if (distance < 0x80U) {
      encoded_.push_back(low);
      return;
    }
    encoded_.push_back(low | 0x80U);
  }
}

void HeldPositions::Spill() {
  if (spill_fd_ < 0) {
    spill_fd_ = OpenUnnamedFile(FileRole());
  }
  WriteFully(spill_fd_,
             std::string_view(reinterpret_cast<const char*>(encoded_.data()), encoded_.size()),
             FileRole());
  spilled_ += encoded_.size();
  encoded_.clear();
}

void HeldPositions::Replay(const std::function<void(Position)>& use) {
  Position position = 0;
  Position distance = 0;
  unsigned shift = 0;
  const auto decode = [&](std::span<const unsigned char> bytes) {
    for (const unsigned char byte : bytes) {
      distance |= static_cast<Position>(byte & 0x7FU) << shift;
      shift += 7;
      if ((byte & 0x80U) == 0) {
        position += distance;
        use(position);
        distance = 0;
        shift = 0;
      }
    }
  };
  if (spilled_ > 0) {
    // The file holds the oldest; it is read back through the memory buffer,
    // which is then free.
    const std::vector<unsigned char> tail = std::exchange(encoded_, {});
    encoded_.resize(memory_bytes_);
    for (std::uint64_t done = 0; done < spilled_;) {
      const auto count =
          static_cast<std::size_t>(std::min<std::uint64_t>(spilled_ - done, encoded_.size()));
      const std::span<unsigned char> into(encoded_.data(), count);
      if (ReadFullyAt(spill_fd_, done, into, FileRole()) != count) {
        ThrowErrno(EIO, FileRole());
      }
      decode(into);
      done += count;
    }
    ::close(std::exchange(spill_fd_, -1));
    spilled_ = 0;
    encoded_ = tail;
  }
  decode(encoded_);
  encoded_.clear();
  last_ = 0;
}

}  // namespace telltale
