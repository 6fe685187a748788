// SPDX-License-Identifier: Apache-2.0
// Where a file scanned inside a disk image lies: the image, the partition,
// the path in its file system and its metadata entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace telltale::cli {

struct ImagePlace {
  struct Partition {
    unsigned index = 0;        // 1 up in the volume system's order; 0 for an image without one
    std::uint64_t offset = 0;  // of its first byte in the image
  };
  std::string image;  // as given
  // None when the image itself failed.
  std::optional<Partition> partition;
  // In the file system, from its root ("/dir/name"); empty for the partition
  // itself.
  std::string path;
  // The file's metadata address (inode, MFT entry, FAT directory entry).
  std::optional<std::uint64_t> meta_address;
  // Whether its name and metadata are allocated; false for a deleted file.
  std::optional<bool> allocated;

  // How output names it: "IMAGE::pN/path", "IMAGE::pN" for a partition,
  // "IMAGE" for the image.
  [[nodiscard]] std::string Name() const;
};

}  // namespace telltale::cli
