// SPDX-License-Identifier: Apache-2.0
#include "cli/disk_image/tsk_file_source.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace telltale::cli {

TskFileSource::TskFileSource(std::shared_ptr<TskFileSystem> file_system, TSK_FS_FILE* file,
                             std::string name, std::optional<std::vector<ImageRun>> blocks)
    : file_system_(std::move(file_system)),
      file_(file),
      name_(std::move(name)),
      size_(static_cast<std::uint64_t>(std::max<TSK_OFF_T>(file->meta->size, 0))),
      blocks_(std::move(blocks)) {}

TskFileSource::~TskFileSource() {
  const std::lock_guard lock(file_system_->image->mutex);
  tsk_fs_file_close(file_);
}

std::size_t TskFileSource::Read(std::uint64_t offset, std::span<unsigned char> buffer) {
  std::size_t done = 0;
  const std::size_t wanted =
      offset >= size_
          ? 0
          : static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size_ - offset));
  if (blocks_) {
    return ReadBlocks(offset, buffer.first(wanted));
  }
  const std::lock_guard lock(file_system_->image->mutex);
  while (done < wanted) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): TSK reads into char
    char* into = reinterpret_cast<char*>(buffer.data() + done);
    const ssize_t got = tsk_fs_file_read(file_, static_cast<TSK_OFF_T>(offset + done), into,
                                         wanted - done, TSK_FS_FILE_READ_FLAG_NONE);
    if (got < 0) {
      throw TskError(name_, "cannot read the file's content");
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::size_t TskFileSource::ReadBlocks(std::uint64_t offset, std::span<unsigned char> into) {
  std::size_t done = 0;
  // The run holding `offset`, then those after it: they hold every byte up
  // to the file's size.
  for (auto run = RunHolding(*blocks_, offset); done < into.size(); ++run) {
    const std::uint64_t at = offset + done;
    const auto piece = static_cast<std::size_t>(
        std::min<std::uint64_t>(into.size() - done, run->file_offset + run->length - at));
    const std::size_t got = file_system_->image->ReadMedia(
        run->image_offset + (at - run->file_offset), into.subspan(done, piece), name_);
    done += got;
    if (got < piece) {
      break;  // the image ends within the file's blocks: a cut image
    }
  }
  return done;
}

}  // namespace telltale::cli
