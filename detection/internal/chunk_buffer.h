// SPDX-License-Identifier: Apache-2.0
// The buffer chunks are read into. Private to the detection library.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace telltale {

// `capacity` bytes starting at a 64-byte aligned address, with `kHeadroom`
// usable bytes just before it for what is carried over from the chunk
// before. The kernel copies into an aligned destination several times faster
// than into a misaligned one, so every read targets data().
class ChunkBuffer {
 public:
  static constexpr std::size_t kAlignment = 64;
  static constexpr std::size_t kHeadroom = kAlignment;

  explicit ChunkBuffer(std::size_t capacity)
      : storage_(static_cast<unsigned char*>(
            ::operator new (kHeadroom + capacity, std::align_val_t{kAlignment}))),
        capacity_(capacity) {}

  [[nodiscard]] unsigned char* data() const { return storage_.get() + kHeadroom; }
  [[nodiscard]] std::size_t capacity() const { return capacity_; }

 private:
  struct Free {
    void operator()(unsigned char* p) const { ::operator delete (p, std::align_val_t{kAlignment}); }
  };
  std::unique_ptr<unsigned char, Free> storage_;
  std::size_t capacity_;
};

}  // namespace telltale
