// SPDX-License-Identifier: Apache-2.0
// The names the structure walk gives JPEG segments: by marker code, and for
// an APPn segment by the identifier its payload starts with. Private to the
// detection library.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace telltale {

// What the walk does with a segment's content besides naming it.
enum class SegmentKind { kPlain, kExif, kMpf };

struct SegmentLabel {
  std::string name;  // "DHT", "SOF2", "APP1 (EXIF)", ...
  SegmentKind kind = SegmentKind::kPlain;
};

// The label of the segment of marker `code` (C0..FE, other than D0..D9)
// whose payload starts with `payload`. An identifier names the segment only
// when the whole of it is there.
SegmentLabel LabelSegment(unsigned char code, std::span<const unsigned char> payload);

// How many bytes of the payload LabelSegment may need for `code`: 0 for a
// segment named by its code alone.
std::size_t IdentifierBytes(unsigned char code);

}  // namespace telltale
