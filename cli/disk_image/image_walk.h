// SPDX-License-Identifier: Apache-2.0
// The files inside disk images, one at a time: every partition of each
// image's volume system (or the whole image where it has none), every file
// system The Sleuth Kit knows there, every regular file, deleted ones
// included where their metadata still says where their content lies, and
// then the file system's runs of unallocated blocks.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/image_description.h"
#include "cli/image_place.h"
#include "cli/input_walk.h"
#include "telltale/scan_source.h"

namespace telltale::cli {

struct ImageEntry {
  ImagePlace place;
  // The file's content, read at any offset; none where `failure` says why
  // the image, partition, directory or file could not be read.
  std::unique_ptr<ScanSource> source;
  std::optional<std::system_error> failure;
  // For the image itself, as it is opened, before its files.
  std::optional<ImageDescription> image;
};

struct ImageWalkOptions {
  // Each image's data checked against the hash it stores, before its files;
  // an image that stores none fails.
  bool verify = false;
};

class ImageWalk {
 public:
  virtual ~ImageWalk() = default;
  ImageWalk(const ImageWalk&) = delete;
  ImageWalk& operator=(const ImageWalk&) = delete;

  // The next file or failure, in image, partition and directory order;
  // none at the end. Called from one thread at a time, while the sources it
  // gave before are read on others.
  virtual std::optional<ImageEntry> Next() = 0;

 protected:
  ImageWalk() = default;
};

// A walk of the images `images` gives (paths and lists, not recursive),
// each opened read-only when its turn comes; a list's failure is a failure
// named after the list. Throws std::system_error (ENOTSUP) in a build
// without the disk-image library.
std::unique_ptr<ImageWalk> WalkImages(InputWalk&& images, ImageWalkOptions options);

}  // namespace telltale::cli
