// SPDX-License-Identifier: Apache-2.0
// A disk image's format, size and stored hash, and the check of its data
// against that hash (E01's MD5 of the acquired media).
#pragma once

#include <string>

#include "cli/disk_image/tsk_handles.h"
#include "cli/image_description.h"

namespace telltale::cli {

// With `verify`, reads the whole media, holding the image's mutex, and
// throws std::system_error naming `name` where the image stores no hash,
// where its data's differs from it, or where the media cannot be read.
ImageDescription DescribeImage(TskImage& image, const std::string& name, bool verify);

}  // namespace telltale::cli
