// SPDX-License-Identifier: Apache-2.0
#include "structure/exif_thumbnail.h"

#include <algorithm>
#include <cstdint>

#include "structure/tiff_fields.h"

namespace telltale {
namespace {

constexpr std::size_t kExifTiffStart = 6;  // after "Exif\0\0"
constexpr std::uint16_t kThumbnailOffsetTag = 0x0201;
constexpr std::uint16_t kThumbnailLengthTag = 0x0202;

}  // namespace

std::optional<PayloadExtent> FindExifThumbnail(std::span<const unsigned char> payload) {
  if (payload.size() <= kExifTiffStart) {
    return std::nullopt;
  }
  const auto tiff = TiffFields::Open(payload.subspan(kExifTiffStart));
  if (!tiff) {
    return std::nullopt;
  }
  const auto ifd0 = tiff->FirstDirectory();
  const auto ifd1 = ifd0 ? tiff->NextDirectory(*ifd0) : std::nullopt;
  if (!ifd1 || *ifd1 == 0) {
    return std::nullopt;
  }
  const auto offset_entry = tiff->Find(*ifd1, kThumbnailOffsetTag);
  const auto length_entry = tiff->Find(*ifd1, kThumbnailLengthTag);
  if (!offset_entry || !length_entry) {
    return std::nullopt;
  }
  const auto offset = tiff->Number(*offset_entry);
  const auto length = tiff->Number(*length_entry);
  // 64-bit sums of 32-bit values: no overflow.
  const std::uint64_t start = std::uint64_t{kExifTiffStart} + offset.value_or(0);
  if (!offset || !length || *length == 0 || start >= payload.size()) {
    return std::nullopt;
  }
  const std::uint64_t end = std::min<std::uint64_t>(start + *length, payload.size());
  return PayloadExtent{static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)};
}

}  // namespace telltale
