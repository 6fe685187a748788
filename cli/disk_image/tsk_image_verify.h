// SPDX-License-Identifier: Apache-2.0
// The check of an image against the hash its format stores (E01's MD5 of
// the acquired data).
#pragma once

#include <optional>
#include <string>

#include "cli/disk_image/tsk_handles.h"
#include "cli/image_hash_check.h"

namespace telltale::cli {

// None where the image's format stores no hash (raw images). Reads the whole
// media, holding the image's mutex. Throws std::system_error naming `name`
// where the media cannot be read.
std::optional<ImageHashCheck> CheckStoredHash(TskImage& image, const std::string& name);

}  // namespace telltale::cli
