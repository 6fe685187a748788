// SPDX-License-Identifier: Apache-2.0
// What a case report cites of a disk image: its format, its size and the
// hash its acquisition stored in it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace telltale::cli {

struct ImageDescription {
  std::string format;      // "raw" (plain or split) or "e01"
  std::uint64_t size = 0;  // of its media: an E01's disk, not its files
  // The MD5 of the media its acquisition stored (E01), lower-case
  // hexadecimal; none where the format stores none.
  std::optional<std::string> stored_md5;
  // Whether the media was read now and its MD5 found equal to the stored one.
  bool verified = false;
};

}  // namespace telltale::cli
