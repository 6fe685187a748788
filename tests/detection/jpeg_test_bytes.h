// SPDX-License-Identifier: Apache-2.0
// Hand-built JPEG segments and the TIFF fields of EXIF and MPF payloads, for
// the tests of the structure walk.
#pragma once

#include <cstdint>
#include <string>

namespace telltale::testing {

inline std::string Byte(unsigned value) { return {static_cast<char>(value)}; }

// A marker segment: FF, the code, the big-endian length, the payload.
inline std::string Segment(unsigned code, const std::string& payload) {
  const std::size_t length = payload.size() + 2;
  std::string bytes = Byte(0xFF);
  bytes += Byte(code);
  bytes += Byte(static_cast<unsigned>(length >> 8U) & 0xFFU);
  bytes += Byte(static_cast<unsigned>(length) & 0xFFU);
  bytes += payload;
  return bytes;
}

// Numbers in a TIFF structure's byte order.
struct TiffBytes {
  explicit TiffBytes(bool big_endian, std::uint32_t first_directory) : big(big_endian) {
    bytes = big ? std::string("MM\0*", 4) : std::string("II*\0", 4);
    U32(first_directory);
  }
  TiffBytes& U16(unsigned value) {
    const std::string high = Byte((value >> 8U) & 0xFFU);
    const std::string low = Byte(value & 0xFFU);
    bytes += big ? high : low;
    bytes += big ? low : high;
    return *this;
  }
  TiffBytes& U32(std::uint32_t value) {
    return big ? U16(value >> 16U).U16(value & 0xFFFFU) : U16(value & 0xFFFFU).U16(value >> 16U);
  }
  // A 12-byte directory entry; a SHORT value fills the field's first bytes.
  TiffBytes& Entry(unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
    U16(tag).U16(type).U32(count);
    return type == 3 ? U16(value).U16(0) : U32(value);
  }
  bool big;
  std::string bytes;
};

// An EXIF payload: IFD0 (no entries) at 8, IFD1 at 14 with the thumbnail's
// two tags, then `data` from TIFF offset 44 (payload offset 50).
struct ExifFields {
  bool big = false;
  std::uint32_t ifd0 = 8;
  unsigned ifd0_count = 0;
  std::uint32_t ifd1 = 14;
  unsigned ifd1_count = 2;
  unsigned type = 4;
  std::uint32_t offset = 44;
  std::uint32_t length = 0;
};
inline std::string ExifPayload(const ExifFields& f, const std::string& data) {
  TiffBytes tiff(f.big, f.ifd0);
  tiff.U16(f.ifd0_count).U32(f.ifd1).U16(f.ifd1_count);
  tiff.Entry(0x0201, f.type, 1, f.offset).Entry(0x0202, f.type, 1, f.length).U32(0);
  return std::string("Exif\0\0", 6) + tiff.bytes + data;
}

// An MPF payload: one IFD at 8 holding the MP Entry tag, whose `count`
// bytes of entries start at `entries`; entry 1 is the image holding it,
// entry 2 declares an image at `offset2` from the TIFF header.
struct MpfFields {
  std::uint32_t ifd = 8;
  unsigned type = 7;
  std::uint32_t count = 32;
  std::uint32_t entries = 26;
  std::uint32_t offset2 = 0;
  std::uint32_t size2 = 100;
};
inline std::string MpfPayload(const MpfFields& f) {
  TiffBytes tiff(false, f.ifd);
  tiff.U16(1).Entry(0xB002, f.type, f.count, f.entries).U32(0);
  tiff.U32(0).U32(0).U32(0).U32(0);
  tiff.U32(0).U32(f.size2).U32(f.offset2).U32(0);
  return std::string("MPF\0", 4) + tiff.bytes;
}

}  // namespace telltale::testing
