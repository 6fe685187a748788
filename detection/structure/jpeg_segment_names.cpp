// SPDX-License-Identifier: Apache-2.0
#include "structure/jpeg_segment_names.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace telltale {
namespace {

using namespace std::string_view_literals;

struct Identifier {
  unsigned char code;
  std::string_view bytes;
  std::string_view name;
  SegmentKind kind = SegmentKind::kPlain;
};

constexpr std::array kIdentifiers{
    Identifier{0xE0, "JFIF\0"sv, "APP0 (JFIF)"},
    Identifier{0xE0, "JFXX\0"sv, "APP0 (JFXX)"},
    Identifier{0xE1, "Exif\0\0"sv, "APP1 (EXIF)", SegmentKind::kExif},
    Identifier{0xE1, "http://ns.adobe.com/xap/1.0/\0"sv, "APP1 (XMP)"},
    Identifier{0xE1, "http://ns.adobe.com/xmp/extension/\0"sv, "APP1 (XMP)"},
    Identifier{0xE2, "ICC_PROFILE\0"sv, "APP2 (ICC profile)"},
    Identifier{0xE2, "MPF\0"sv, "APP2 (MPF)", SegmentKind::kMpf},
    Identifier{0xED, "Photoshop 3.0\0"sv, "APP13 (Photoshop)"},
    Identifier{0xEE, "Adobe"sv, "APP14 (Adobe)"},
};

std::string CodeName(unsigned char code) {
  switch (code) {
    case 0xC4:
      return "DHT";
    case 0xC8:
      return "JPG";
    case 0xCC:
      return "DAC";
    case 0xDA:
      return "SOS";
    case 0xDB:
      return "DQT";
    case 0xDC:
      return "DNL";
    case 0xDD:
      return "DRI";
    case 0xDE:
      return "DHP";
    case 0xDF:
      return "EXP";
    case 0xFE:
      return "COM";
    default:
      break;
  }
  if (code >= 0xC0 && code <= 0xCF) {
    return "SOF" + std::to_string(code - 0xC0);
  }
  if (code >= 0xE0 && code <= 0xEF) {
    return "APP" + std::to_string(code - 0xE0);
  }
  return "JPG" + std::to_string(code - 0xF0);
}

}  // namespace

SegmentLabel LabelSegment(unsigned char code, std::span<const unsigned char> payload) {
  const std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
  for (const Identifier& identifier : kIdentifiers) {
    if (identifier.code == code && text.starts_with(identifier.bytes)) {
      return {std::string(identifier.name), identifier.kind};
    }
  }
  return {CodeName(code), SegmentKind::kPlain};
}

std::size_t IdentifierBytes(unsigned char code) {
  std::size_t bytes = 0;
  for (const Identifier& identifier : kIdentifiers) {
    if (identifier.code == code) {
      bytes = std::max(bytes, identifier.bytes.size());
    }
  }
  return bytes;
}

}  // namespace telltale
