// SPDX-License-Identifier: Apache-2.0
#include "structure/mpf_index.h"

#include "structure/tiff_fields.h"

namespace telltale {
namespace {

constexpr std::size_t kMpfTiffStart = 4;  // after "MPF\0"
constexpr std::uint16_t kMpEntryTag = 0xB002;
constexpr std::uint64_t kMpfEntrySize = 16;

}  // namespace

std::vector<MpfImage> ReadMpfIndex(std::span<const unsigned char> payload) {
  std::vector<MpfImage> images;
  if (payload.size() <= kMpfTiffStart) {
    return images;
  }
  const auto tiff = TiffFields::Open(payload.subspan(kMpfTiffStart));
  const auto ifd = tiff ? tiff->FirstDirectory() : std::nullopt;
  const auto entry = ifd ? tiff->Find(*ifd, kMpEntryTag) : std::nullopt;
  if (!entry || entry->type != TiffFields::kUndefined) {
    return images;
  }
  const auto entries_at = tiff->U32(entry->value_at);
  if (!entries_at) {
    return images;
  }
  // Entry 1 is the image that holds the index.
  for (std::uint64_t index = 1; index < entry->count / kMpfEntrySize; ++index) {
    const std::uint64_t at = *entries_at + kMpfEntrySize * index;
    const auto size = tiff->U32(at + 4);
    const auto offset = tiff->U32(at + 8);
    if (!tiff->U16(at + 14) || !size || !offset) {
      break;  // this entry and those after it run past the payload
    }
    images.push_back({static_cast<std::uint32_t>(index + 1), kMpfTiffStart + *offset, *size});
  }
  return images;
}

}  // namespace telltale
