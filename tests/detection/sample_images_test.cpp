// SPDX-License-Identifier: Apache-2.0
// The structure walk on images made by real encoders at test time (see
// make_sample_images.sh): it must agree with the reference walk, and the
// reference with what the tools that made each file say of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "reference_walk.h"
#include "telltale/scan_content.h"
#include "telltale/structure_walk.h"
#include "test_support.h"
#include "walk_comparison.h"

namespace telltale {
namespace {

using testing::AsBytes;
using testing::Describe;

const std::filesystem::path kSampleDirectory = TELLTALE_SAMPLE_IMAGES;

// What the manifest says of one file.
struct Sample {
  std::string format;
  std::optional<AppendedData> appended;
  std::optional<std::pair<std::uint64_t, std::uint64_t>> thumbnail;  // offset, length
  std::vector<std::pair<std::uint64_t, std::string>> places;
};

std::optional<AppendedStart> AppendedStartNamed(std::string_view name) {
  for (const AppendedStart start :
       {AppendedStart::kUnknown, AppendedStart::kJpeg, AppendedStart::kZip, AppendedStart::kMp4}) {
    if (AppendedStartName(start) == name) {
      return start;
    }
  }
  return std::nullopt;
}

const std::map<std::string, Sample>& Manifest() {
  static const std::map<std::string, Sample> samples = [] {
    std::map<std::string, Sample> read;
    std::ifstream manifest(kSampleDirectory / "manifest.txt");
    std::string line;
    while (std::getline(manifest, line)) {
      std::istringstream fields(line);
      std::string name;
      std::string kind;
      fields >> name >> kind;
      Sample& sample = read[name];
      if (kind == "format") {
        fields >> sample.format;
      } else if (kind == "appended") {
        AppendedData appended;
        std::string starts_with;
        fields >> appended.offset >> appended.length >> starts_with;
        appended.starts_with = AppendedStartNamed(starts_with).value();
        sample.appended = appended;
      } else if (kind == "thumbnail") {
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
        fields >> offset >> length;
        sample.thumbnail = {offset, length};
      } else if (kind == "place") {
        std::uint64_t offset = 0;
        fields >> offset >> std::ws;
        std::string context;
        std::getline(fields, context);
        sample.places.emplace_back(offset, context);
      }
    }
    return read;
  }();
  return samples;
}

std::string ReadSample(const std::string& name) {
  std::ifstream file(kSampleDirectory / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void CheckSample(const std::string& name) {
  SCOPED_TRACE(name);
  const auto found = Manifest().find(name);
  ASSERT_NE(found, Manifest().end()) << "not in the manifest; is the sample_images fixture run?";
  const Sample& sample = found->second;
  const std::string content = ReadSample(name);
  ASSERT_FALSE(content.empty());

  testing::ExpectWalkMatchesReference(content, name);

  // The reference against the tools.
  const ReferenceWalk reference(AsBytes(content));
  EXPECT_EQ(FormatName(reference.outcome().format), sample.format);
  WalkOutcome expected;
  expected.format = reference.outcome().format;
  expected.appended = sample.appended;
  EXPECT_EQ(Describe(reference.outcome()), Describe(expected));
  for (const auto& [offset, context] : sample.places) {
    EXPECT_EQ(reference.PlaceOf(offset).context, context) << "offset " << offset;
  }
}

TEST(SampleImages, JpegFromEachEncoder) {
  for (const char* name : {"photo.jpg", "progressive.jpg", "restart.jpg"}) {
    CheckSample(name);
  }
}

TEST(SampleImages, JpegWithAnExifThumbnail) { CheckSample("thumbnail.jpg"); }

TEST(SampleImages, JpegWithImagesItsMpfIndexDeclares) { CheckSample("mpf.jpg"); }

TEST(SampleImages, DataAppendedToAJpeg) {
  for (const char* name : {"appended_zip.jpg", "appended_jpeg.jpg", "appended_mp4.jpg"}) {
    CheckSample(name);
  }
}

TEST(SampleImages, PngGifAndBmp) {
  for (const char* name : {"image.png", "appended.png", "image.gif", "appended.gif", "image.bmp",
                           "image3.bmp", "appended.bmp"}) {
    CheckSample(name);
  }
}

// Real files with a few bytes changed: markers the walk cannot follow, fill
// runs, lengths, EXIF and MPF fields that point elsewhere. Each change is
// made where the structure is read: to a byte FF or one of the few after it.
TEST(SampleImages, JpegsWithBytesChangedMatchTheReference) {
  constexpr unsigned char kValues[] = {0x00, 0x01, 0x02, 0xC0, 0xD0, 0xD8, 0xD9,
                                       0xDA, 0xDB, 0xE1, 0xE2, 0xFF, 0x7F, 0x80};
  std::mt19937 random(11);
  for (const char* name : {"thumbnail.jpg", "mpf.jpg", "progressive.jpg"}) {
    const std::string content = ReadSample(name);
    ASSERT_FALSE(content.empty()) << name;
    std::vector<std::size_t> marker_bytes;
    for (std::size_t at = 0; at < content.size(); ++at) {
      if (static_cast<unsigned char>(content[at]) == 0xFF) {
        marker_bytes.push_back(at);
      }
    }
    for (int variant = 0; variant < 60; ++variant) {
      std::string changed = content;
      for (int change = 0; change < 1 + variant % 3; ++change) {
        const std::size_t at = marker_bytes[random() % marker_bytes.size()] + random() % 12;
        if (at >= changed.size()) {
          continue;
        }
        if (random() % 4 == 0) {
          changed.insert(at, std::string(1 + random() % 3, '\xFF'));  // fill
        } else {
          changed[at] = static_cast<char>(kValues[random() % std::size(kValues)]);
        }
      }
      std::string what = name;
      what += " variant ";
      what += std::to_string(variant);
      testing::ExpectWalkMatchesReference(changed, what);
    }
  }
}

// Cut at every byte, a file must not upset the walk, and every finding
// keeps the place it has in the whole file, but for those the cut moved:
// at or after where the cut file breaks, or inside a thumbnail the cut went
// through, whose walk ends early.
TEST(SampleImages, JpegWithAThumbnailCutAtEveryByte) {
  const std::string content = ReadSample("thumbnail.jpg");
  const auto found = Manifest().find("thumbnail.jpg");
  ASSERT_NE(found, Manifest().end());
  ASSERT_TRUE(found->second.thumbnail);
  const auto [thumbnail_start, thumbnail_length] = *found->second.thumbnail;
  const std::uint64_t thumbnail_end = thumbnail_start + thumbnail_length;
  const ReferenceWalk whole(AsBytes(content));
  const auto& chunkings = testing::Chunkings();
  for (std::size_t cut = 0; cut < content.size(); ++cut) {
    const std::string_view cut_content = std::string_view(content).substr(0, cut);
    const testing::ChunkedWalk walked =
        testing::WalkInChunks(cut_content, chunkings[cut % chunkings.size()]);
    const WalkOutcome outcome = walked.walk->outcome();
    const ReferenceWalk reference(AsBytes(cut_content));
    ASSERT_EQ(Describe(outcome), Describe(reference.outcome())) << "cut at " << cut;
    // The cut file has places of its own: the reference's for it.
    for (std::size_t offset = 0; offset < cut; ++offset) {
      const FindingPlace& got = walked.settled_places[offset];
      const ReferencePlace& expected = reference.PlaceOf(offset);
      if (got.context != expected.context || got.explained != expected.explained) {
        FAIL() << "offset " << offset << ", cut at " << cut << ": " << Describe(got)
               << " rather than " << Describe(expected);
      }
    }
    for (const ScanFinding& finding : ScanContent(AsBytes(cut_content))) {
      const std::uint64_t offset = finding.position - 1;
      const bool after_break = outcome.broken_at && offset >= *outcome.broken_at;
      const bool in_cut_thumbnail =
          cut < thumbnail_end && offset >= thumbnail_start && offset < thumbnail_end;
      if (!after_break && !in_cut_thumbnail) {
        EXPECT_EQ(Describe(walked.settled_places[offset]), Describe(whole.PlaceOf(offset)))
            << finding.rule->tool << '@' << finding.position << ", cut at " << cut;
      }
    }
  }
}

}  // namespace
}  // namespace telltale
