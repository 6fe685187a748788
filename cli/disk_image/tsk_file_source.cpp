// SPDX-License-Identifier: Apache-2.0
#include "cli/disk_image/tsk_file_source.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace telltale::cli {

std::system_error TskError(std::string_view name, std::string_view what) {
  std::string message(name);
  message += ": ";
  message += what;
  const char* tsk_message = tsk_error_get();
  if (tsk_message != nullptr && *tsk_message != '\0') {
    message += ": ";
    message += tsk_message;
    // TSK ends some messages with a newline.
    while (message.back() == '\n' || message.back() == ' ') {
      message.pop_back();
    }
  }
  tsk_error_reset();
  return {EIO, std::generic_category(), message};
}

TskFileSource::TskFileSource(std::shared_ptr<TskFileSystem> file_system, TSK_FS_FILE* file,
                             std::string name)
    : file_system_(std::move(file_system)),
      file_(file),
      name_(std::move(name)),
      size_(static_cast<std::uint64_t>(std::max<TSK_OFF_T>(file->meta->size, 0))) {}

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

}  // namespace telltale::cli
