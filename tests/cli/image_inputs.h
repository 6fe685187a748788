// SPDX-License-Identifier: Apache-2.0
// Pictures and an archive made at test time with ImageMagick's convert and
// zip, as an examiner meets them: an ordinary photo, the same photo with a
// ZIP appended after its end, a PNG with a comment, and text that is no
// picture at all.
#pragma once

#include <string>
#include <vector>

#include "test_support.h"

namespace telltale::cli::testing {

struct ImageInput {
  std::string path;  // UTF-8, inside the directory given
  std::string content;
};

struct ImageInputs {
  // Makes them in `dir`. Throws std::system_error where a tool cannot be run
  // or fails.
  explicit ImageInputs(const telltale::testing::TempDir& dir);

  // Every one of them, in the order below.
  [[nodiscard]] std::vector<ImageInput> All() const;

  ImageInput photo;    // a JPEG as ImageMagick writes it: only its own markers
  ImageInput archive;  // a ZIP with a file holding both markers, stored as is
  ImageInput carrier;  // the photo, then the archive
  ImageInput picture;  // a PNG whose comment reads "CDN"
  ImageInput notes;    // text with both markers
};

// Runs `argv`, its program looked up on PATH. Throws std::system_error when
// it cannot be started or does not exit with status 0.
void RunTool(const std::vector<std::string>& argv);

}  // namespace telltale::cli::testing
