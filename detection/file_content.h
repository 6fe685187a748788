// A whole file's bytes in one buffer.
#pragma once

#include <cstddef>
#include <span>

namespace telltale {

// Owns a buffer of a fixed size. Large buffers are an anonymous mapping
// advised for transparent huge pages, which makes filling and scanning a
// gigabyte several times faster than with 4 KiB pages.
class FileContent {
 public:
  FileContent() = default;
  // Throws std::system_error (ENOMEM) when the memory cannot be had.
  explicit FileContent(std::size_t size);
  ~FileContent();
  FileContent(FileContent&& other) noexcept;
  FileContent& operator=(FileContent&& other) noexcept;
  FileContent(const FileContent&) = delete;
  FileContent& operator=(const FileContent&) = delete;

  [[nodiscard]] unsigned char* data() { return data_; }
  [[nodiscard]] const unsigned char* data() const { return data_; }
  [[nodiscard]] std::size_t size() const { return size_; }
  // NOLINTNEXTLINE(google-explicit-constructor): a content is its bytes
  operator std::span<const unsigned char>() const { return {data_, size_}; }

 private:
  unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_ = 0;  // bytes mapped, 0 when data_ is not a mapping
};

}  // namespace telltale
