// SPDX-License-Identifier: Apache-2.0
// Reads the images an MPF (Multi-Picture Format) index declares. Private to
// the detection library.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace telltale {

struct MpfImage {
  std::uint32_t number = 0;  // 1-based place of its entry in the index
  std::uint64_t start = 0;   // from the first byte of the segment's payload
  std::uint32_t size = 0;

  friend bool operator==(const MpfImage&, const MpfImage&) = default;
};

// The images after the first declared by the MP Entry tag (0xB002) of the
// first IFD in an APP2 MPF segment, from its payload ("MPF\0", then the TIFF
// header the offsets count from). Entries that do not lie wholly within the
// payload are not read.
std::vector<MpfImage> ReadMpfIndex(std::span<const unsigned char> payload);

}  // namespace telltale
