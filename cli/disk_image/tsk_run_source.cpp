// SPDX-License-Identifier: Apache-2.0
#include "cli/disk_image/tsk_run_source.h"

#include <algorithm>

namespace telltale::cli {

std::size_t TskRunSource::Read(std::uint64_t offset, std::span<unsigned char> buffer) {
  if (offset >= length_) {
    return 0;
  }
  const auto wanted =
      static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), length_ - offset));
  return image_->ReadMedia(offset_ + offset, buffer.first(wanted), name_);
}

}  // namespace telltale::cli
