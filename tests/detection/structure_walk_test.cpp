// SPDX-License-Identifier: Apache-2.0
// The structure walk on hand-built PNG, GIF and BMP files: the parts a walk
// must pass over by counting, the bytes it must refuse, inputs cut anywhere,
// and inputs that are no format at all. Each is fed in chunks of many sizes
// and compared with the reference walk; the cases also check the one fact
// they were built to show.
#include "telltale/structure_walk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "reference_walk.h"
#include "structure/region_list.h"
#include "telltale/scan_content.h"
#include "test_support.h"
#include "walk_comparison.h"

namespace telltale {
namespace {

using testing::AsBytes;
using testing::ExpectWalkMatchesReference;
using namespace std::string_literals;

std::string BigEndian32(std::uint32_t value) {
  std::string bytes;
  for (int shift = 24; shift >= 0; shift -= 8) {
    bytes += static_cast<char>((value >> shift) & 0xFFU);
  }
  return bytes;
}

std::string LittleEndian32(std::uint32_t value) {
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8) {
    bytes += static_cast<char>((value >> shift) & 0xFFU);
  }
  return bytes;
}

const std::string kPngSignature = "\x89PNG\r\n\x1A\n";

// The CRC is not checked: four bytes of text stand in for it.
std::string PngChunk(std::string_view type, std::string_view data) {
  std::string chunk = BigEndian32(static_cast<std::uint32_t>(data.size()));
  chunk += type;
  chunk += data;
  chunk += "crc!";
  return chunk;
}

std::string SmallPng() {
  std::string png = kPngSignature;
  png += PngChunk("IHDR", std::string(13, '\1'));
  // Data that looks like chunk headers, markers in it, and an empty chunk:
  // a walk must count the data, not read it.
  png += PngChunk("tEXt", "Comment\0CDN \xFF\xDB \0\0\0\0IEND"s);
  png += PngChunk("zzZz", "");
  png += PngChunk("IDAT", "cdn\xFF\xDB\x3B");
  png += PngChunk("IEND", "");
  return png;
}

// A GIF with a global colour table, a comment, an image with a local colour
// table, and bytes in the tables and sub-blocks that would be a trailer (3B),
// an extension (21) or an image (2C) if they were read as blocks.
std::string SmallGif() {
  std::string gif = "GIF89a";
  gif += "\x02\0\x02\0\x81\0\0"s;  // global table of 4 entries
  gif +=
      "\x3B\x21\x2C"
      "CDN\xFF\xDB"
      "abcd";
  gif += "\x21\xFE";  // comment extension
  gif +=
      "\x05"
      "CDN;,";
  gif +=
      "\x03"
      "\x3B\x21\x2C";
  gif += '\0';
  gif += "\x2C\0\0\0\0\x02\0\x02\0\x80"s;  // image, local table of 2
  gif +=
      "\xFF\xDB\x3B"
      "cdn";
  gif += "\x02";  // LZW minimum code size
  gif +=
      "\x04"
      "\x3B\x3B\xFF\xDB";
  gif += '\0';
  gif += '\x3B';  // trailer
  return gif;
}

// A BMP of `declared` bytes (at least 54) with a 40-byte header.
std::string SmallBmp(std::uint32_t declared, std::uint32_t header_size = 40) {
  std::string bmp = "BM";
  bmp += LittleEndian32(declared);
  bmp += std::string(4, '\0');
  bmp += LittleEndian32(54);
  bmp += LittleEndian32(header_size);
  bmp += std::string(36, '\1');
  while (bmp.size() < declared) {
    bmp += "CDN\xFF\xDB";
  }
  bmp.resize(declared);
  return bmp;
}

// The place of every byte from `offset` on, once a walk of `format` breaks.
std::string BreakText(std::string_view format, std::size_t offset) {
  std::string text = "at or after offset ";
  text += std::to_string(offset);
  text += ", where the ";
  text += format;
  text += " structure breaks";
  return text;
}

TEST(FormatWalks, WellFormedImagesEndWhereTheirStructureSays) {
  const std::string png = SmallPng();
  const std::string gif = SmallGif();
  const std::string bmp = SmallBmp(70);
  for (const std::string& image : {png, gif, bmp}) {
    std::string with_appended = image;
    with_appended += "after CDN";
    ExpectWalkMatchesReference(with_appended, with_appended.substr(0, 3));
    const ReferenceWalk reference(AsBytes(with_appended));
    ASSERT_TRUE(reference.outcome().appended);
    EXPECT_EQ(reference.outcome().appended->offset, image.size());
    EXPECT_FALSE(reference.outcome().broken_at);
  }
}

// Cut at every byte: findings before the cut keep their places and the
// image breaks at the input's end, except a PNG cut inside a chunk's length
// and type, which breaks at that chunk's start. Every cut is compared with
// the reference, which then tells the two apart.
TEST(FormatWalks, EveryCutOfAnImageMatchesTheReference) {
  for (const std::string& image : {SmallPng(), SmallGif(), SmallBmp(70)}) {
    for (std::size_t cut = 0; cut < image.size(); ++cut) {
      const std::string cut_content = image.substr(0, cut);
      std::string what = image.substr(0, 3);
      what += " cut at ";
      what += std::to_string(cut);
      ExpectWalkMatchesReference(cut_content, what);
      const ReferenceWalk reference(AsBytes(cut_content));
      if (reference.outcome().format != ImageFormat::kNone) {
        ASSERT_TRUE(reference.outcome().broken_at) << what;
        EXPECT_LE(*reference.outcome().broken_at, cut) << what;
      }
    }
  }
}

TEST(PngWalk, ABadChunkLengthOrTypeBreaksTheWalkAtThatChunk) {
  const std::string bad_chunks[] = {
      "\x80\0\0\0IDAT"s,     // a length over 2^31-1
      "\0\0\0\x03ID4T"s,     // a digit
      "\0\0\0\x03IDA "s,     // a space
      "\0\0\0\x03ID\xC1T"s,  // a letter outside ASCII
  };
  for (const std::string& bad : bad_chunks) {
    std::string png = kPngSignature;
    png += PngChunk("IHDR", "CDN in the header chunk");
    const std::size_t bad_at = png.size();
    png += bad;
    png += "CDN \xFF\xDB after it";
    png += PngChunk("IEND", "");
    ExpectWalkMatchesReference(png, bad);
    const ReferenceWalk reference(AsBytes(png));
    EXPECT_EQ(reference.outcome().broken_at, bad_at);
    EXPECT_EQ(reference.PlaceOf(16).context, "inside PNG IHDR chunk");
    EXPECT_EQ(reference.PlaceOf(png.find("CDN \xFF")).context, BreakText("PNG", bad_at));
  }
}

// A chunk is named once its length and type are read: cut before, it
// breaks where it starts; cut after, what came before keeps its place.
TEST(PngWalk, ACutChunkBreaksAtItsStartOnlyWhenItsTypeIsCut) {
  std::string png = kPngSignature;
  png += PngChunk("IHDR", std::string(13, '\1'));
  const std::size_t chunk_at = png.size();
  png += PngChunk("tEXt", "CDN in the text");
  const std::string in_header = png.substr(0, chunk_at + 6);
  const std::string in_data = png.substr(0, chunk_at + 12);
  for (const std::string& cut : {in_header, in_data}) {
    ExpectWalkMatchesReference(cut, "cut PNG");
  }
  EXPECT_EQ(ReferenceWalk(AsBytes(in_header)).outcome().broken_at, chunk_at);
  EXPECT_EQ(ReferenceWalk(AsBytes(in_data)).outcome().broken_at, in_data.size());
  EXPECT_EQ(ReferenceWalk(AsBytes(in_data)).PlaceOf(chunk_at + 8).context, "inside PNG tEXt chunk");
}

TEST(GifWalk, AByteThatStartsNoBlockBreaksTheWalkThere) {
  std::string gif = SmallGif();
  gif.pop_back();  // the trailer
  const std::size_t bad_at = gif.size();
  gif += "CDN where a block is due";
  ExpectWalkMatchesReference(gif, "GIF with a bad block byte");
  const ReferenceWalk reference(AsBytes(gif));
  EXPECT_EQ(reference.outcome().broken_at, bad_at);
  EXPECT_EQ(reference.PlaceOf(bad_at).context, BreakText("GIF", bad_at));
  EXPECT_EQ(reference.PlaceOf(bad_at - 1).context, "inside the GIF image");
}

TEST(BmpWalk, ImplausibleHeadersAreNotRecognised) {
  std::string reserved = SmallBmp(70);
  reserved[8] = '\1';
  std::string too_small = SmallBmp(70);
  too_small.replace(2, 4, LittleEndian32(25));
  const std::string cases[] = {
      reserved, too_small, SmallBmp(70, 41),  // no such header size
      SmallBmp(70).substr(0, 17),             // too short to show the header size
  };
  for (const std::string& bmp : cases) {
    std::string input = bmp;
    input += "CDN";
    ExpectWalkMatchesReference(input, "implausible BMP");
    const ReferenceWalk reference(AsBytes(input));
    EXPECT_EQ(reference.outcome().format, ImageFormat::kNone);
    EXPECT_EQ(reference.PlaceOf(input.size() - 3).context, "not a recognised format");
  }
  // Every header size the format has is taken.
  for (const std::uint32_t header_size : {12, 16, 40, 52, 56, 64, 108, 124}) {
    const std::string bmp = SmallBmp(70, header_size);
    std::string what = "BMP header size ";
    what += std::to_string(header_size);
    ExpectWalkMatchesReference(bmp, what);
    EXPECT_EQ(ReferenceWalk(AsBytes(bmp)).outcome().format, ImageFormat::kBmp);
  }
}

TEST(StructureWalk, InputsThatStartAsNoFormatAreOneRegion) {
  const std::string inputs[] = {
      "",
      "CDN and \xFF\xDB in plain text",
      "\xFF\xD8",          // too short for a JPEG's start
      "\xFF\xD8\xFE CDN",  // not FF D8 FF
      "GIF89",             // too short
      "GIF90a CDN",        // no such version
      kPngSignature.substr(0, 7),
      "\x89PNG\r\n\x1A CDN",  // the signature's last byte wrong
      "BM CDN",
  };
  for (const std::string& input : inputs) {
    ExpectWalkMatchesReference(input, input);
    EXPECT_EQ(ReferenceWalk(AsBytes(input)).outcome().format, ImageFormat::kNone) << input;
  }
}

TEST(StructureWalk, DataAfterTheImageIsToldByItsFirstBytes) {
  const std::string gif = "GIF87a\1\0\1\0\0\0\0\x3B"s;
  const std::pair<std::string, AppendedStart> cases[] = {
      {"\xFF\xD8\xFF", AppendedStart::kJpeg},
      {"\xFF\xD8\xFF\xE0 CDN", AppendedStart::kJpeg},
      {"PK\x03\x04 CDN", AppendedStart::kZip},
      {"PK\x05\x06", AppendedStart::kZip},
      {"PK\x07\x08 CDN", AppendedStart::kZip},
      {"\0\0\0\x20"
       "ftypmp42 CDN"s,
       AppendedStart::kMp4},
      {"\xFF\xD8", AppendedStart::kUnknown},
      {"PK\x03", AppendedStart::kUnknown},
      {"PK\x03\x05", AppendedStart::kUnknown},
      {"\0\0\0\x20"
       "fty"s,
       AppendedStart::kUnknown},
      {"ftyp", AppendedStart::kUnknown},
      {"CDN", AppendedStart::kUnknown},
  };
  for (const auto& [after, kind] : cases) {
    std::string input = gif;
    input += after;
    ExpectWalkMatchesReference(input, after);
    const ReferenceWalk reference(AsBytes(input));
    ASSERT_TRUE(reference.outcome().appended) << after;
    EXPECT_EQ(reference.outcome().appended->starts_with, kind) << after;
    EXPECT_EQ(reference.outcome().appended->length, after.size()) << after;
  }
}

// Past the list's limit every place is the one that says the walk stopped,
// and the outcome is still followed to the end.
TEST(StructureWalk, AWalkOfMoreRegionsThanTheListHoldsStops) {
  std::string png = kPngSignature;
  for (std::size_t k = 0; k < RegionList::kMaxRegions + 100; ++k) {
    png += PngChunk(k % 2 == 0 ? "abCd" : "efGh", "CDN");
  }
  png += PngChunk("IEND", "");
  png += "after CDN";
  ExpectWalkMatchesReference(png, "PNG of many chunks");
  const ReferenceWalk reference(AsBytes(png));
  EXPECT_NE(reference.PlaceOf(png.size() - 3).context.find("where the walk stops"),
            std::string::npos);
  EXPECT_TRUE(reference.outcome().appended);
}

}  // namespace
}  // namespace telltale
