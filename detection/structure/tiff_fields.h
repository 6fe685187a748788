// SPDX-License-Identifier: Apache-2.0
// Reads the fields of a TIFF structure held in memory, as EXIF and MPF keep
// their tags. Every read is checked against the bytes held: offsets come from
// the file and may point anywhere. Private to the detection library.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace telltale {

// One 12-byte entry of an image file directory.
struct TiffEntry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::uint64_t value_at = 0;  // where its 4-byte value field lies
};

class TiffFields {
 public:
  static constexpr std::uint16_t kShort = 3;
  static constexpr std::uint16_t kLong = 4;
  static constexpr std::uint16_t kUndefined = 7;

  // The structure whose header ("II" or "MM") starts `bytes`; none when it
  // starts with neither.
  static std::optional<TiffFields> Open(std::span<const unsigned char> bytes);

  // A 16- or 32-bit number at `at`, in the header's byte order.
  [[nodiscard]] std::optional<std::uint16_t> U16(std::uint64_t at) const;
  [[nodiscard]] std::optional<std::uint32_t> U32(std::uint64_t at) const;

  // The offset of the first directory, from the header's bytes 4..7.
  [[nodiscard]] std::optional<std::uint32_t> FirstDirectory() const { return U32(4); }
  // The offset of the directory after the one at `directory`; none unless
  // all of that one lies in the bytes held.
  [[nodiscard]] std::optional<std::uint32_t> NextDirectory(std::uint32_t directory) const;
  // The entry of `tag` among those of the directory at `directory` that lie
  // in the bytes held.
  [[nodiscard]] std::optional<TiffEntry> Find(std::uint32_t directory, std::uint16_t tag) const;
  // The value of a SHORT or LONG entry.
  [[nodiscard]] std::optional<std::uint32_t> Number(const TiffEntry& entry) const;

 private:
  TiffFields(std::span<const unsigned char> bytes, bool big_endian)
      : bytes_(bytes), big_endian_(big_endian) {}

  std::span<const unsigned char> bytes_;
  bool big_endian_;
};

}  // namespace telltale
