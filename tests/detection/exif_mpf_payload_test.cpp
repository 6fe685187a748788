// SPDX-License-Identifier: Apache-2.0
// The EXIF thumbnail and the MPF images, read from payloads whose offsets
// and counts point anywhere. Each payload is held in a buffer of its exact
// size, so that under AddressSanitizer a read past it fails the test.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "jpeg_test_bytes.h"
#include "structure/exif_thumbnail.h"
#include "structure/mpf_index.h"

namespace telltale {
namespace {

using testing::ExifFields;
using testing::MpfFields;

std::vector<unsigned char> Held(const std::string& text) { return {text.begin(), text.end()}; }

TEST(ExifThumbnail, StaysWithinThePayloadWhateverItsFieldsSay) {
  const std::string data(20, 't');  // payload offsets 50..69
  struct Case {
    const char* name;
    ExifFields fields;
    std::optional<PayloadExtent> expected;
  };
  const Case cases[] = {
      {"little-endian LONG", {.length = 20}, PayloadExtent{50, 20}},
      {"big-endian SHORT", {.big = true, .type = 3, .length = 20}, PayloadExtent{50, 20}},
      {"length past the end is clipped", {.length = 1000}, PayloadExtent{50, 20}},
      {"offset plus length wraps in 32 bits", {.length = 0xFFFFFFFF}, PayloadExtent{50, 20}},
      {"offset near 2^32", {.offset = 0xFFFFFFF0, .length = 0x20}, std::nullopt},
      {"offset at the payload's end", {.offset = 64, .length = 4}, std::nullopt},
      {"length 0", {.length = 0}, std::nullopt},
      {"IFD0 past the end", {.ifd0 = 0xFFFFFFFF, .length = 20}, std::nullopt},
      {"IFD0 count past the end", {.ifd0_count = 0xFFFF, .length = 20}, std::nullopt},
      {"no IFD1", {.ifd1 = 0, .length = 20}, std::nullopt},
      {"IFD1 past the end", {.ifd1 = 0xFFFFFFF8, .length = 20}, std::nullopt},
      {"IFD1 count past the end", {.ifd1_count = 0xFFFF, .length = 20}, PayloadExtent{50, 20}},
      {"IFD1 entries cut off", {.ifd1_count = 1, .length = 20}, std::nullopt},
      {"neither SHORT nor LONG", {.type = 2, .length = 20}, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto payload = Held(ExifPayload(c.fields, data));
    EXPECT_EQ(FindExifThumbnail(payload), c.expected) << c.name;
    // Cut short anywhere, a payload is never read past its end.
    for (std::size_t size = 0; size < payload.size(); ++size) {
      const std::vector<unsigned char> cut(payload.begin(),
                                           payload.begin() + static_cast<std::ptrdiff_t>(size));
      const auto extent = FindExifThumbnail(cut);
      if (extent) {
        EXPECT_LE(extent->offset + extent->size, size) << c.name;
      }
    }
  }
}

TEST(MpfIndex, ReadsOnlyTheEntriesWithinThePayload) {
  struct Case {
    const char* name;
    MpfFields fields;
    std::vector<MpfImage> expected;
  };
  const std::vector<MpfImage> second{{2, 4 + 5000, 100}};
  const Case cases[] = {
      {"two entries", {.offset2 = 5000}, second},
      {"a count past the entries held", {.count = 48, .offset2 = 5000}, second},
      {"a count near 2^32", {.count = 0xFFFFFFF0, .offset2 = 5000}, second},
      {"an offset near 2^32", {.offset2 = 0xFFFFFFFF}, {{2, 4 + 0xFFFFFFFFULL, 100}}},
      {"entries past the end", {.entries = 0xFFFFFFF0, .offset2 = 5000}, {}},
      {"entries cut off", {.entries = 30, .offset2 = 5000}, {}},
      {"a count of one entry", {.count = 16, .offset2 = 5000}, {}},
      {"not UNDEFINED", {.type = 4, .offset2 = 5000}, {}},
      {"IFD past the end", {.ifd = 0xFFFFFFFF, .offset2 = 5000}, {}},
  };
  for (const Case& c : cases) {
    const auto payload = Held(MpfPayload(c.fields));
    EXPECT_EQ(ReadMpfIndex(payload), c.expected) << c.name;
    for (std::size_t size = 0; size < payload.size(); ++size) {
      const std::vector<unsigned char> cut(payload.begin(),
                                           payload.begin() + static_cast<std::ptrdiff_t>(size));
      EXPECT_LE(ReadMpfIndex(cut).size(), c.expected.size()) << c.name;
    }
  }
}

}  // namespace
}  // namespace telltale
