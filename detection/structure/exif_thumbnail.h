// SPDX-License-Identifier: Apache-2.0
// Finds the JPEG thumbnail an EXIF segment carries. Private to the detection
// library.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

namespace telltale {

// A stretch of a segment's payload.
struct PayloadExtent {
  std::size_t offset = 0;
  std::size_t size = 0;

  friend bool operator==(const PayloadExtent&, const PayloadExtent&) = default;
};

// The thumbnail of an APP1 EXIF segment, from its payload ("Exif\0\0", then
// the TIFF header): where IFD1's JPEGInterchangeFormat (0x0201) and
// JPEGInterchangeFormatLength (0x0202) put it, clipped to the payload's end.
// None when a tag is missing, IFD0 or IFD1 lies outside the payload, or the
// thumbnail would hold no byte of it.
std::optional<PayloadExtent> FindExifThumbnail(std::span<const unsigned char> payload);

}  // namespace telltale
