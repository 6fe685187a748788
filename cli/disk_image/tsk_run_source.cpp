// SPDX-License-Identifier: Apache-2.0
#include "cli/disk_image/tsk_run_source.h"

#include <algorithm>

namespace telltale::cli {

std::size_t TskRunSource::Read(std::uint64_t offset, std::span<unsigned char> buffer) {
  const std::size_t wanted =
      offset >= length_
          ? 0
          : static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length_ - offset));
  std::size_t done = 0;
  const std::lock_guard lock(image_->mutex);
  while (done < wanted) {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): TSK reads into char
    char* into = reinterpret_cast<char*>(buffer.data() + done);
    const ssize_t got = tsk_img_read(image_->info, static_cast<TSK_OFF_T>(offset_ + offset + done),
                                     into, wanted - done);
    if (got < 0) {
      throw TskError(name_, "cannot read the image");
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
}

}  // namespace telltale::cli
