// SPDX-License-Identifier: Apache-2.0
// A run of an image's bytes that no file holds (a file system's unallocated
// blocks, a partition no file system was found in, space no partition
// holds), read from the image at any offset.
#pragma once

#include <memory>
#include <string>

#include "cli/disk_image/tsk_handles.h"
#include "telltale/scan_source.h"

namespace telltale::cli {

class TskRunSource final : public ScanSource {
 public:
  // The `length` bytes from `offset` in `image`.
  TskRunSource(std::shared_ptr<TskImage> image, std::uint64_t offset, std::uint64_t length,
               std::string name)
      : image_(std::move(image)), offset_(offset), length_(length), name_(std::move(name)) {}

  [[nodiscard]] const std::string& name() const override { return name_; }
  [[nodiscard]] std::optional<std::uint64_t> size() const override { return length_; }
  [[nodiscard]] bool CanReadAgain() const override { return true; }
  std::size_t Read(std::uint64_t offset, std::span<unsigned char> buffer) override;

 private:
  std::shared_ptr<TskImage> image_;
  std::uint64_t offset_;
  std::uint64_t length_;
  std::string name_;
};

}  // namespace telltale::cli
