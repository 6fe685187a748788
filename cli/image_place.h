// SPDX-License-Identifier: Apache-2.0
// Where a file scanned inside a disk image lies: the image, the partition,
// the path in its file system and its metadata entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace telltale::cli {

// A stretch of a file's content stored in consecutive bytes of the image.
struct ImageRun {
  std::uint64_t file_offset = 0;
  std::uint64_t image_offset = 0;  // in the image's media: an E01's disk, not its file
  std::uint64_t length = 0;
};

// The run of `runs`, in file order, that holds the file's byte at `offset`;
// runs.end() where none does.
std::vector<ImageRun>::const_iterator RunHolding(const std::vector<ImageRun>& runs,
                                                 std::uint64_t offset);

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
  // Where the file's content lies in the image, in file order; none where it
  // is not stored in blocks as it reads (resident, compressed or encrypted
  // data). Bytes in no run (sparse, lost) have no place in the image.
  std::optional<std::vector<ImageRun>> runs;
  // For bytes no file holds, scanned as an input of their own (with no
  // path): a run of the file system's unallocated blocks, a whole partition
  // where no file system was found, or (with no partition) space no
  // partition holds. Where it lies in the image.
  std::optional<ImageRun> unallocated;

  // Where the file's byte at `offset` lies in the image, where known.
  [[nodiscard]] std::optional<std::uint64_t> ImageOffset(std::uint64_t offset) const;

  // How output names it: "IMAGE::pN/path", "IMAGE::pN@START-END" for the
  // unallocated bytes START to END (excluded) of the image in partition N,
  // "IMAGE::@START-END" for bytes in no partition, "IMAGE::pN" for a
  // partition, "IMAGE" for the image. A path always starts with '/'.
  [[nodiscard]] std::string Name() const;
};

}  // namespace telltale::cli
