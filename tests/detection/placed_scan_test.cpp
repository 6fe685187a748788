// SPDX-License-Identifier: Apache-2.0
// The scan with the structure walk beside it: the same findings as without,
// each handed on only once the walk can place it, and none lost when the
// input fails part way.
#include "telltale/placed_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include "jpeg_test_bytes.h"
#include "memory_source.h"

namespace telltale {
namespace {

using testing::MemorySource;
using testing::Segment;

using namespace std::string_literals;

// A JPEG whose EXIF segment holds a thumbnail with a table of its own, then
// a marker inside a table, scan data, and a ZIP after the end. The
// thumbnail's table marker can only be placed once the whole EXIF segment
// has been read.
std::string PhotoWithThumbnail() {
  std::string thumbnail = "\xFF\xD8"s;
  thumbnail += Segment(0xDB, "CDN");
  thumbnail += "\xFF\xD9";
  std::string exif = "Exif\0\0"s;
  exif += "II*\0"s;
  exif += "\x08\0\0\0"s;                          // IFD0 at 8
  exif += "\0\0"s;                                // no entries
  exif += "\x0E\0\0\0"s;                          // IFD1 at 14
  exif += "\x02\0"s;                              // two entries
  exif += "\x01\x02\x04\0\x01\0\0\0\x2C\0\0\0"s;  // JPEGInterchangeFormat: 44
  exif += "\x02\x02\x04\0\x01\0\0\0"s;            // JPEGInterchangeFormatLength
  exif += static_cast<char>(thumbnail.size());
  exif += "\0\0\0"s;
  exif += "\0\0\0\0"s;  // no next IFD
  exif += thumbnail;
  exif += std::string(32, '.');  // what else the segment holds
  std::string photo = "\xFF\xD8"s;
  photo += Segment(0xE1, exif);
  photo += Segment(0xDB, "\0qcdn"s);
  photo += Segment(0xDA, "\x01\x01\0"s);
  photo += "entropy CDN \xFF\0 data"s;
  photo += "\xFF\xD9"s;
  photo += "PK\x03\x04 appended \xFF\xDB CDN"s;
  return photo;
}

struct Placed {
  std::vector<ScanFinding> findings;
  std::vector<std::string> contexts;
};

TEST(PlacedScan, EveryChunkSizeGivesThePlainFindingsPlacedAsTheWholeWalkPlacesThem) {
  const std::string photo = PhotoWithThumbnail();
  StructureWalk whole;
  whole.Feed({reinterpret_cast<const unsigned char*>(photo.data()), photo.size()});
  whole.Finish();
  for (const bool file : {true, false}) {
    for (const FindingOrder order : {FindingOrder::kReport, FindingOrder::kAsFound}) {
      for (const std::size_t chunk : {1, 5, 64, 4096}) {
        SCOPED_TRACE(::testing::Message() << (file ? "file" : "stream") << ", chunk " << chunk);
        const ScanSizes sizes{chunk, 16, 16};
        MemorySource plain_source(photo, file);
        std::vector<ScanFinding> plain;
        ScanInput(
            plain_source, order, [&](const ScanFinding& f) { plain.push_back(f); }, {}, sizes);
        MemorySource source(photo, file);
        Placed placed;
        WalkOutcome outcome;
        ScanInputPlaced(
            source, order,
            [&](const ScanFinding& f, const FindingPlace& place) {
              placed.findings.push_back(f);
              placed.contexts.emplace_back(place.context);
              EXPECT_EQ(place.context, whole.PlaceOf(f.position - 1).context);
              EXPECT_EQ(place.explained, whole.PlaceOf(f.position - 1).explained);
            },
            outcome, {}, sizes);
        EXPECT_EQ(placed.findings, plain);
        EXPECT_EQ(outcome.appended, whole.outcome().appended);
        EXPECT_NE(std::find(placed.contexts.begin(), placed.contexts.end(),
                            "EXIF thumbnail: JPEG quantization table marker"),
                  placed.contexts.end());
      }
    }
  }
}

// A stream that fails with EIO once `good` bytes have been read.
class FailingStream final : public ScanSource {
 public:
  FailingStream(std::string content, std::size_t good)
      : content_(std::move(content)), good_(good) {}
  [[nodiscard]] const std::string& name() const override { return name_; }
  [[nodiscard]] std::optional<std::uint64_t> size() const override { return std::nullopt; }
  [[nodiscard]] bool CanReadAgain() const override { return false; }
  std::size_t Read(std::uint64_t offset, std::span<unsigned char> buffer) override {
    if (offset >= good_) {
      throw std::system_error(EIO, std::generic_category(), name_);
    }
    const std::size_t count = std::min<std::size_t>(buffer.size(), good_ - offset);
    std::copy_n(content_.data() + offset, count, buffer.data());
    return count;
  }

 private:
  std::string content_;
  std::size_t good_;
  std::string name_ = "failing";
};

TEST(PlacedScan, FindingsStillWaitingForTheWalkAreHandedOnWhenTheInputFails) {
  const std::string photo = PhotoWithThumbnail();
  // Fail inside the EXIF segment, after the thumbnail's table marker, at a
  // read's start: a read that comes short would end the stream instead.
  const std::size_t good = (photo.find("CDN") + 3 + 7) / 8 * 8;
  ASSERT_LT(good, photo.find("\xFF\xDB\0\x07"s));
  for (const std::size_t chunk : {1, 8}) {
    const ScanSizes sizes{chunk, 16, 16};
    std::vector<ScanFinding> plain;
    FailingStream plain_source(photo, good);
    EXPECT_THROW(ScanInput(
                     plain_source, FindingOrder::kAsFound,
                     [&](const ScanFinding& f) { plain.push_back(f); }, {}, sizes),
                 std::system_error);
    ASSERT_FALSE(plain.empty());
    std::vector<ScanFinding> placed;
    WalkOutcome outcome;
    FailingStream source(photo, good);
    EXPECT_THROW(ScanInputPlaced(
                     source, FindingOrder::kAsFound,
                     [&](const ScanFinding& f, const FindingPlace&) { placed.push_back(f); },
                     outcome, {}, sizes),
                 std::system_error);
    EXPECT_EQ(placed, plain);
    EXPECT_EQ(outcome.format, ImageFormat::kJpeg);
  }
}

}  // namespace
}  // namespace telltale
