// SPDX-License-Identifier: Apache-2.0
// The JPEG walk: the places it names, the same whatever sizes the input
// arrives in, and where it breaks.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jpeg_test_bytes.h"
#include "structure/format_walk.h"
#include "structure/region_list.h"
#include "test_support.h"

namespace telltale {
namespace {

using testing::AsBytes;
using testing::Byte;
using testing::ExifPayload;
using testing::MpfPayload;
using testing::Segment;

const std::string kSoi = "\xFF\xD8";
const std::string kEoi = "\xFF\xD9";

struct Walked {
  RegionList regions;
  std::optional<std::uint64_t> ended;
  std::optional<std::uint64_t> broken;
};

// Walks `input` fed in pieces of `piece` bytes, or cut once at `cut`.
std::unique_ptr<Walked> Walk(std::string_view input, std::size_t piece, std::size_t cut = 0) {
  auto walked = std::make_unique<Walked>();
  const auto walk = MakeJpegWalk(walked->regions, 0);
  for (std::size_t at = 0; at < input.size();) {
    const std::size_t next = cut > at ? cut : std::min(input.size(), at + piece);
    walk->Feed(AsBytes(input.substr(at, next - at)), at);
    at = next;
  }
  walk->Finish(input.size());
  walked->ended = walk->ended_at();
  walked->broken = walk->broken_at();
  return walked;
}

std::string PlaceAt(const RegionList& regions, std::uint64_t offset) {
  const FindingPlace place = regions.At(offset);
  std::string text(place.context);
  if (place.explained) {
    text += " (explained)";
  }
  return text;
}

// A small image: quantization table, frame, table and a scan.
std::string SmallImage(const std::string& after_soi = "") {
  return kSoi + after_soi + Segment(0xDB, "q") + Segment(0xC0, "frame") + Segment(0xDA, "s") +
         "data" + kEoi;
}

// Every kind of part, with the offset where each named piece starts.
struct Composite {
  std::string bytes;
  std::map<std::string, std::size_t> at;
  void Add(const std::string& name, const std::string& piece) {
    at[name] = bytes.size();
    bytes += piece;
  }
};

Composite MakeComposite() {
  const std::string thumbnail = SmallImage();
  const std::string exif = ExifPayload({.length = static_cast<std::uint32_t>(thumbnail.size() + 3)},
                                       thumbnail + "padzz");
  Composite image;
  // Twice: the first pass finds where the second image starts.
  std::uint32_t second_start = 0;
  for (int pass = 0; pass < 2; ++pass) {
    image = {};
    image.Add("soi", kSoi);
    image.Add("mpf", Segment(0xE2, MpfPayload({.offset2 = second_start - 10})));
    image.Add("jfif", Segment(0xE0, std::string("JFIF\0\1\2", 7)));
    image.Add("exif", Segment(0xE1, exif));
    image.Add("fill", "\xFF\xFF");
    image.Add("dqt", Segment(0xDB, "tables"));
    image.Add("sof2", Segment(0xC2, "frame"));
    image.Add("sos", Segment(0xDA, "scan"));
    image.Add("data", "ab\xFF");
    image.Add("stuffed", Byte(0) + "c\xFF\xD3x");
    image.Add("dht", Segment(0xC4, "huffman"));
    image.Add("dqt2", Segment(0xDB, "t"));
    image.Add("sos2", Segment(0xDA, "scan"));
    image.Add("data2", "ef");
    image.Add("fill2", "\xFF\xFF");
    image.Add("eoi", kEoi);
    image.Add("gap", "between");
    second_start = static_cast<std::uint32_t>(image.bytes.size());
    image.Add("second", SmallImage(Segment(0xE1, exif)));
    image.Add("appended", "appended");
  }
  return image;
}

TEST(JpegWalk, NamesEachPartAsTheDocumentSays) {
  const Composite image = MakeComposite();
  const auto walked = Walk(image.bytes, image.bytes.size());
  const std::size_t thumbnail = image.at.at("exif") + 4 + 50;
  const std::size_t second_thumbnail = image.at.at("second") + 2 + 4 + 50;
  const struct {
    std::size_t offset;
    const char* place;
  } probes[] = {
      {0, "JPEG start of image marker"},
      {image.at.at("mpf"), "inside APP2 (MPF) segment"},
      {image.at.at("jfif") + 5, "inside APP0 (JFIF) segment"},
      {image.at.at("exif"), "inside APP1 (EXIF) segment"},
      {thumbnail + 1, "EXIF thumbnail: JPEG start of image marker"},
      {thumbnail + 2, "EXIF thumbnail: JPEG quantization table marker (explained)"},
      {thumbnail + 4, "EXIF thumbnail: inside DQT segment"},
      {thumbnail + 28, "EXIF thumbnail: after the end of the JPEG image"},
      {thumbnail + 30, "inside APP1 (EXIF) segment"},
      {image.at.at("fill") + 1, "JPEG fill bytes"},
      {image.at.at("dqt"), "JPEG quantization table marker (explained)"},
      {image.at.at("dqt") + 2, "inside DQT segment"},
      {image.at.at("sof2"), "inside SOF2 segment"},
      {image.at.at("sos") + 7, "inside SOS segment"},
      {image.at.at("data") + 2, "JPEG entropy-coded data"},
      {image.at.at("stuffed") + 2, "JPEG entropy-coded data"},
      {image.at.at("dht"), "inside DHT segment"},
      {image.at.at("dqt2"), "JPEG quantization table marker (explained)"},
      {image.at.at("sos2"), "inside SOS segment"},
      {image.at.at("fill2") + 1, "JPEG fill bytes"},
      {image.at.at("fill2") + 2, "JPEG end of image marker"},
      {image.at.at("gap") + 6, "after the end of the JPEG image"},
      {image.at.at("second"), "MPF image 2: JPEG start of image marker"},
      {second_thumbnail + 2,
       "MPF image 2: EXIF thumbnail: JPEG quantization table marker (explained)"},
      {image.at.at("appended") - 3, "MPF image 2: JPEG entropy-coded data"},
  };
  for (const auto& probe : probes) {
    EXPECT_EQ(PlaceAt(walked->regions, probe.offset), probe.place) << "at " << probe.offset;
  }
  EXPECT_EQ(walked->ended, image.at.at("appended"));
  EXPECT_FALSE(walked->broken);
}

void ExpectSameRegions(const Walked& walked, const Walked& whole, std::size_t size,
                       const std::string& how) {
  EXPECT_EQ(walked.ended, whole.ended) << how;
  EXPECT_EQ(walked.broken, whole.broken) << how;
  for (std::size_t offset = 0; offset <= size; ++offset) {
    ASSERT_EQ(PlaceAt(walked.regions, offset), PlaceAt(whole.regions, offset))
        << how << ", at " << offset;
  }
}

TEST(JpegWalk, AnySplitGivesTheRegionsOfOneFeed) {
  const Composite image = MakeComposite();
  const std::string& full = image.bytes;
  // Whole, and cut short inside the second image, inside the thumbnail, and
  // inside the first scan.
  for (const std::size_t size :
       {full.size(), full.size() - 20, image.at.at("exif") + 60, image.at.at("data") + 3}) {
    const std::string input = full.substr(0, size);
    const auto whole = Walk(input, size);
    for (std::size_t cut = 1; cut < size; ++cut) {
      ExpectSameRegions(*Walk(input, size, cut), *whole, size, "cut at " + std::to_string(cut));
    }
    ExpectSameRegions(*Walk(input, 1), *whole, size, "byte by byte");
  }
}

TEST(JpegWalk, SettledRegionsAreFinal) {
  const std::string input = MakeComposite().bytes;
  const auto whole = Walk(input, input.size());
  RegionList regions;
  const auto walk = MakeJpegWalk(regions, 0);
  std::uint64_t settled = 0;
  for (std::size_t at = 0; at < input.size(); ++at) {
    walk->Feed(AsBytes(input.substr(at, 1)), at);
    ASSERT_GE(walk->settled(), settled) << "after byte " << at;
    settled = walk->settled();
    ASSERT_LE(settled, at + 1);
    for (std::uint64_t offset = 0; offset < settled; ++offset) {
      ASSERT_EQ(PlaceAt(regions, offset), PlaceAt(whole->regions, offset))
          << "at " << offset << " after byte " << at;
    }
  }
}

TEST(JpegWalk, BreaksWhereTheChainCannotBeFollowed) {
  const std::string scan = kSoi + Segment(0xDA, "s");  // data from 7
  std::string chain = kSoi;
  for (int i = 0; i < 50; ++i) {
    chain += Segment(0xDB, "q");
  }
  const std::string thumbnail = "\xFF\xD8\xFF" + Byte(0) + "xxxxxx";  // breaks at 58
  const std::string broken_thumbnail =
      kSoi + Segment(0xE1, ExifPayload({.length = 10}, thumbnail + "tail")) + kEoi;
  const std::string exif = kSoi + Segment(0xE1, ExifPayload({.length = 30}, SmallImage()));
  // Image 2 declared at 70, and at 110.
  const std::string mpf_not_jpeg =
      kSoi + Segment(0xE2, MpfPayload({.offset2 = 60})) + kEoi + "not a JPEG";
  const std::string mpf_far = kSoi + Segment(0xE2, MpfPayload({.offset2 = 100})) + kEoi + "gap";
  const struct {
    const char* name;
    std::string input;
    std::optional<std::uint64_t> broken;  // none: ended at the input's end
    std::uint64_t probe;
    std::string place;
  } cases[] = {
      {"length 0", kSoi + std::string("\xFF\xDB\0\0", 4) + Segment(0xDB, "q"), 2, 2,
       "at or after offset 2, where the JPEG structure breaks"},
      {"length 1", kSoi + std::string("\xFF\xC4\0\1xx", 6), 2, 3,
       "at or after offset 2, where the JPEG structure breaks"},
      {"length past the end", kSoi + Segment(0xDB, "q") + std::string("\xFF\xE1\1\0Exif", 8), 15, 9,
       "inside APP1 segment"},
      {"not FF where a marker is due", kSoi + Segment(0xDB, "q") + "A" + kEoi, 7, 8,
       "at or after offset 7, where the JPEG structure breaks"},
      {"FF 00 after fill", kSoi + "\xFF\xFF" + Byte(0) + kEoi, 3, 2, "JPEG fill bytes"},
      {"RST where a marker is due", kSoi + "\xFF\xD0" + kEoi, 2, 3,
       "at or after offset 2, where the JPEG structure breaks"},
      {"a second SOI", kSoi + kSoi + kEoi, 2, 2,
       "at or after offset 2, where the JPEG structure breaks"},
      {"FF 05 in a scan", scan + "ab\xFF\x05" + kEoi, 9, 8, "JPEG entropy-coded data"},
      {"FF D8 in a scan", scan + "ab\xFF\xD8" + kEoi, 9, 10,
       "at or after offset 9, where the JPEG structure breaks"},
      {"ends in a scan", scan + "a\xFF" + Byte(0) + "\xFF\xD1z\xFF", 14, 13,
       "JPEG entropy-coded data"},
      {"ends after a DQT marker", kSoi + std::string("\xFF\xDB\0", 3), 5, 3,
       "JPEG quantization table marker (explained)"},
      {"ends in fill", kSoi + "\xFF\xFF", 4, 3, "JPEG fill bytes"},
      {"a chain that never ends", chain, chain.size(), chain.size() - 4,
       "JPEG quantization table marker (explained)"},
      {"ends inside an EXIF segment", exif.substr(0, 70), 70, 57,
       "EXIF thumbnail: JPEG start of image marker"},
      {"a broken thumbnail", broken_thumbnail, std::nullopt, 60,
       "EXIF thumbnail: at or after offset 58, where the JPEG structure breaks"},
      {"after a broken thumbnail", broken_thumbnail, std::nullopt, 66,
       "inside APP1 (EXIF) segment"},
      {"an MPF image that is not a JPEG", mpf_not_jpeg, 70, 75,
       "MPF image 2: at or after offset 70, where the JPEG structure breaks"},
      {"an MPF image past the end", mpf_far, 73, 71, "after the end of the JPEG image"},
  };
  for (const auto& c : cases) {
    const auto walked = Walk(c.input, c.input.size());
    EXPECT_EQ(walked->broken, c.broken) << c.name;
    EXPECT_EQ(walked->ended, c.broken ? std::nullopt : std::optional<std::uint64_t>(c.input.size()))
        << c.name;
    EXPECT_EQ(PlaceAt(walked->regions, c.probe), c.place) << c.name;
  }
}

TEST(JpegWalk, StopsMarkingPastTheMostRegionsAndWalksOn) {
  std::string input = kSoi;
  for (std::size_t i = 0; i < RegionList::kMaxRegions / 2 + 10; ++i) {
    input += Segment(0xDB, "");  // two regions each
  }
  const auto walked = Walk(input, 4096);
  EXPECT_EQ(walked->broken, input.size());
  EXPECT_TRUE(walked->regions.full());
  EXPECT_TRUE(PlaceAt(walked->regions, input.size() - 1)
                  .ends_with("where the walk stops: more parts than it follows"));
}

}  // namespace
}  // namespace telltale
