// SPDX-License-Identifier: Apache-2.0
// A build without The Sleuth Kit (Windows, or TELLTALE_DISK_IMAGES off):
// --image is refused before anything is scanned.
#include "cli/disk_image/image_walk.h"

namespace telltale::cli {

std::unique_ptr<ImageWalk> WalkImages(InputWalk&& /*images*/, ImageWalkOptions /*options*/) {
  throw std::system_error(std::make_error_code(std::errc::not_supported),
                          "--image needs a build with the disk-image library (The Sleuth Kit)");
}

}  // namespace telltale::cli
