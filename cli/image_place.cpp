// SPDX-License-Identifier: Apache-2.0
#include "cli/image_place.h"

#include <algorithm>

namespace telltale::cli {

std::string ImagePlace::Name() const {
  std::string name = image;
  if (partition) {
    name += "::p";
    name += std::to_string(partition->index);
    name += path;
  } else if (unallocated) {
    name += "::";
  }
  if (unallocated) {
    name += '@';
    name += std::to_string(unallocated->image_offset);
    name += '-';
    name += std::to_string(unallocated->image_offset + unallocated->length);
  }
  return name;
}

std::vector<ImageRun>::const_iterator RunHolding(const std::vector<ImageRun>& runs,
                                                 std::uint64_t offset) {
  // The last run starting at or before `offset`.
  const auto after = std::upper_bound(
      runs.begin(), runs.end(), offset,
      [](std::uint64_t wanted, const ImageRun& run) { return wanted < run.file_offset; });
  if (after == runs.begin() || offset - std::prev(after)->file_offset >= std::prev(after)->length) {
    return runs.end();
  }
  return std::prev(after);
}

std::optional<std::uint64_t> ImagePlace::ImageOffset(std::uint64_t offset) const {
  if (!runs) {
    return std::nullopt;
  }
  const auto run = RunHolding(*runs, offset);
  if (run == runs->end()) {
    return std::nullopt;
  }
  return run->image_offset + (offset - run->file_offset);
}

}  // namespace telltale::cli
