// SPDX-License-Identifier: Apache-2.0
#include "structure/tiff_fields.h"

namespace telltale {
namespace {

constexpr std::uint64_t kEntrySize = 12;

}  // namespace

std::optional<TiffFields> TiffFields::Open(std::span<const unsigned char> bytes) {
  if (bytes.size() < 2 || bytes[0] != bytes[1] || (bytes[0] != 'I' && bytes[0] != 'M')) {
    return std::nullopt;
  }
  return TiffFields(bytes, bytes[0] == 'M');
}

std::optional<std::uint16_t> TiffFields::U16(std::uint64_t at) const {
  if (at >= bytes_.size() || bytes_.size() - at < 2) {
    return std::nullopt;
  }
  const unsigned first = bytes_[at];
  const unsigned second = bytes_[at + 1];
  return static_cast<std::uint16_t>(big_endian_ ? (first << 8U) | second : (second << 8U) | first);
}

std::optional<std::uint32_t> TiffFields::U32(std::uint64_t at) const {
  const auto low_at = big_endian_ ? at + 2 : at;
  const auto high_at = big_endian_ ? at : at + 2;
  const auto low = U16(low_at);
  const auto high = U16(high_at);
  if (!low || !high) {
    return std::nullopt;
  }
  return (std::uint32_t{*high} << 16U) | *low;
}

std::optional<std::uint32_t> TiffFields::NextDirectory(std::uint32_t directory) const {
  const auto count = U16(directory);
  if (!count) {
    return std::nullopt;
  }
  return U32(std::uint64_t{directory} + 2 + kEntrySize * *count);
}

std::optional<TiffEntry> TiffFields::Find(std::uint32_t directory, std::uint16_t tag) const {
  const auto count = U16(directory);
  if (!count) {
    return std::nullopt;
  }
  for (std::uint64_t index = 0; index < *count; ++index) {
    const std::uint64_t at = std::uint64_t{directory} + 2 + kEntrySize * index;
    if (at + kEntrySize > bytes_.size()) {
      break;  // the entries past the bytes held are not read
    }
    if (*U16(at) == tag) {
      return TiffEntry{tag, *U16(at + 2), *U32(at + 4), at + 8};
    }
  }
  return std::nullopt;
}

std::optional<std::uint32_t> TiffFields::Number(const TiffEntry& entry) const {
  if (entry.count == 0) {
    return std::nullopt;
  }
  if (entry.type == kShort) {
    return U16(entry.value_at);
  }
  if (entry.type == kLong) {
    return U32(entry.value_at);
  }
  return std::nullopt;
}

}  // namespace telltale
