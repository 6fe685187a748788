// SPDX-License-Identifier: Apache-2.0
// The structure walk: follows an input's own format (JPEG, PNG, GIF, BMP)
// from its first byte as it is read, to say where in the input each finding
// lies and whether the format itself puts that marker there.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace telltale {

enum class ImageFormat { kNone, kJpeg, kPng, kGif, kBmp };

// "jpeg", "png", "gif", "bmp"; empty for kNone.
std::string_view FormatName(ImageFormat format);

// What data after the end of an image starts with.
enum class AppendedStart { kUnknown, kJpeg, kZip, kMp4 };

// "unknown", "jpeg", "zip", "mp4".
std::string_view AppendedStartName(AppendedStart start);

struct AppendedData {
  std::uint64_t offset = 0;  // 0-based: the first byte after the image's own data
  std::uint64_t length = 0;
  AppendedStart starts_with = AppendedStart::kUnknown;

  friend bool operator==(const AppendedData&, const AppendedData&) = default;
};

// Where a finding lies, and whether the format explains the marker there.
struct FindingPlace {
  std::string_view context;  // valid as long as the walk that gave it
  bool explained = false;
};

struct WalkOutcome {
  ImageFormat format = ImageFormat::kNone;
  // Data after the end of the image's own data, when there is any.
  std::optional<AppendedData> appended;
  // Where the walk could no longer follow the structure: a bad length, an
  // unexpected byte, or the input's end before the image's.
  std::optional<std::uint64_t> broken_at;
};

class StructureWalk {
 public:
  StructureWalk();
  ~StructureWalk();
  StructureWalk(const StructureWalk&) = delete;
  StructureWalk& operator=(const StructureWalk&) = delete;

  // The input's next bytes, in order from its first.
  void Feed(std::span<const unsigned char> bytes);
  // No more bytes come: a structure not yet complete breaks at the end.
  void Finish();

  // Every offset below this has its final place; all of them once Finish has
  // been called. A walk holds back at most one JPEG segment (64 KiB) and a
  // few bytes.
  [[nodiscard]] std::uint64_t settled() const;
  // The place of a finding whose marker starts at 0-based `offset`, which
  // must be below settled().
  [[nodiscard]] FindingPlace PlaceOf(std::uint64_t offset) const;
  // Complete once Finish has been called.
  [[nodiscard]] WalkOutcome outcome() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace telltale
