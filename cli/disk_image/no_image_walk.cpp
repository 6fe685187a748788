// SPDX-License-Identifier: Apache-2.0
// A build without The Sleuth Kit (Windows, or TELLTALE_DISK_IMAGES off):
// --image is refused before anything is scanned.
#include <cerrno>

#include "cli/disk_image/image_walk.h"

namespace telltale::cli {

const bool kDiskImagesBuilt = false;

std::unique_ptr<ImageWalk> WalkImages(const std::vector<std::string>& /*images*/) {
  throw std::system_error(ENOTSUP, std::generic_category(),
                          "--image needs a build with the disk-image library (The Sleuth Kit)");
}

}  // namespace telltale::cli
