// SPDX-License-Identifier: Apache-2.0
// What the walk of one format gives the structure walk. Private to the
// detection library.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "structure/region_list.h"

namespace telltale {

class FormatWalk {
 public:
  virtual ~FormatWalk() = default;
  FormatWalk(const FormatWalk&) = delete;
  FormatWalk& operator=(const FormatWalk&) = delete;

  // The input's next bytes, which start at 0-based `offset`, where the last
  // call's ended; the first call's start at the walk's start. Bytes after the
  // image's end or after a break are ignored.
  virtual void Feed(std::span<const unsigned char> bytes, std::uint64_t offset) = 0;
  // The input ends at `end`: an image not complete breaks there.
  virtual void Finish(std::uint64_t end) = 0;

  // Every offset below this has its region marked for good.
  [[nodiscard]] virtual std::uint64_t settled() const = 0;
  // Once the image has ended: the offset just after its own data.
  [[nodiscard]] virtual std::optional<std::uint64_t> ended_at() const = 0;
  // Once the walk has broken: where.
  [[nodiscard]] virtual std::optional<std::uint64_t> broken_at() const = 0;

 protected:
  FormatWalk() = default;
};

// The text of a break's region: every offset from `offset` on, in a walk of
// `format` ("JPEG", "PNG", ...).
std::string BreakContext(std::string_view format, std::uint64_t offset);

// A JPEG from its SOI marker at `start`. Regions are marked in `regions`,
// each context prefixed with `prefix` ("EXIF thumbnail: " for a thumbnail).
// A thumbnail or an MPF image is walked without following its own EXIF
// thumbnail or MPF index.
struct JpegWalkOptions {
  std::string prefix;
  bool follow_thumbnail = true;
  bool follow_mpf = true;
};
std::unique_ptr<FormatWalk> MakeJpegWalk(RegionList& regions, std::uint64_t start,
                                         JpegWalkOptions options = {});
std::unique_ptr<FormatWalk> MakePngWalk(RegionList& regions);
std::unique_ptr<FormatWalk> MakeGifWalk(RegionList& regions);
std::unique_ptr<FormatWalk> MakeBmpWalk(RegionList& regions);

}  // namespace telltale
