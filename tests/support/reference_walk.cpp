// SPDX-License-Identifier: Apache-2.0
// Every rule paints the bytes it names; a later, inner rule paints over an
// outer one (a thumbnail over its EXIF segment, a break over the rest of the
// input). The regions are then the runs of equal paint.
#include "reference_walk.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string_view>
#include <tuple>

#include "structure/region_list.h"

namespace telltale {
namespace {

using Offset = std::uint64_t;

constexpr std::size_t kMaxMpfImages = 64;

std::string BreakText(std::string_view format, Offset at) {
  std::string text = "at or after offset ";
  text += std::to_string(at);
  text += ", where the ";
  text += format;
  text += " structure breaks";
  return text;
}

// An image's walk: where its own data ended, or where it broke.
struct WalkEnd {
  std::optional<Offset> ended;
  std::optional<Offset> broken;
};

enum class JpegKind { kMain, kMpfImage, kThumbnail };

struct MpfImage {
  std::size_t number;  // K, 1-based in the index
  Offset start;
};

class Painter {
 public:
  explicit Painter(Bytes content) : in_(content), paint_(content.size(), 0) {
    places_.push_back({});
  }

  [[nodiscard]] Offset size() const { return in_.size(); }
  [[nodiscard]] std::vector<ReferencePlace>& places() { return places_; }
  [[nodiscard]] std::vector<std::uint32_t>& paint() { return paint_; }

  // Gives the bytes [from, to) the place `context`, as far as the input goes.
  void Paint(Offset from, Offset to, const std::string& context, bool explained = false) {
    const auto [it, added] = ids_.try_emplace({context, explained}, places_.size());
    if (added) {
      places_.push_back({context, explained});
    }
    for (Offset at = from; at < std::min(to, size()); ++at) {
      paint_[at] = it->second;
    }
  }

  [[nodiscard]] bool StartsWith(Offset at, Offset end, std::string_view text) const {
    if (at + text.size() > end) {
      return false;
    }
    for (std::size_t k = 0; k < text.size(); ++k) {
      if (in_[at + k] != static_cast<unsigned char>(text[k])) {
        return false;
      }
    }
    return true;
  }

  [[nodiscard]] std::uint32_t BigEndian(Offset at, int count) const {
    std::uint32_t value = 0;
    for (int k = 0; k < count; ++k) {
      value = (value << 8) | in_[at + k];
    }
    return value;
  }

  [[nodiscard]] std::uint32_t LittleEndian(Offset at, int count) const {
    std::uint32_t value = 0;
    for (int k = count - 1; k >= 0; --k) {
      value = (value << 8) | in_[at + k];
    }
    return value;
  }

  // ---- JPEG ----

  // An image within [start, limit): the main one, an MPF image or a
  // thumbnail, which walk their thumbnails and images by recursion, at most
  // three deep.
  // NOLINTNEXTLINE(misc-no-recursion)
  WalkEnd WalkJpeg(Offset start, Offset limit, const std::string& prefix, JpegKind kind) {
    const auto broken = [&](Offset at) {
      Paint(at, limit, prefix + BreakText("JPEG", at));
      return WalkEnd{std::nullopt, at};
    };
    // FF D8 FF; cut after FF D8, the start of image marker is there.
    constexpr std::string_view kStart = "\xFF\xD8\xFF";
    for (Offset k = 0; k < kStart.size() && start + k < limit; ++k) {
      if (in_[start + k] != static_cast<unsigned char>(kStart[k])) {
        return broken(start);
      }
    }
    if (start + 2 > limit) {
      return broken(start);
    }
    Paint(start, start + 2, prefix + "JPEG start of image marker");
    std::optional<std::vector<MpfImage>> mpf;
    Offset pos = start + 2;
    while (true) {
      // A marker is due at pos, after any number of fill bytes.
      if (pos >= limit) {
        return broken(limit);
      }
      if (in_[pos] != 0xFF) {
        return broken(pos);
      }
      Offset marker = pos;
      while (marker + 1 < limit && in_[marker + 1] == 0xFF) {
        ++marker;
      }
      if (marker + 1 == limit) {
        Paint(pos, limit, prefix + "JPEG fill bytes");
        return broken(limit);
      }
      Paint(pos, marker, prefix + "JPEG fill bytes");
      const unsigned code = in_[marker + 1];
      if (code <= 0xBF || code == 0xD8 || (code >= 0xD0 && code <= 0xD7)) {
        return broken(marker);
      }
      if (code == 0xD9) {
        Paint(marker, marker + 2, prefix + "JPEG end of image marker");
        if (kind == JpegKind::kMain && mpf) {
          return WalkMpfImages(*mpf, marker + 2);
        }
        return {marker + 2, std::nullopt};
      }

      // A segment: marker, length, payload.
      Offset segment_start = marker;
      if (code == 0xDB) {
        Paint(marker, marker + 2, prefix + "JPEG quantization table marker", true);
        segment_start = marker + 2;
      }
      if (marker + 4 > limit) {
        Paint(segment_start, limit, prefix + "inside " + SegmentName(code, 0, 0) + " segment");
        return broken(limit);
      }
      const Offset length = BigEndian(marker + 2, 2);
      if (length < 2) {
        return broken(marker);
      }
      const Offset segment_end = marker + 2 + length;
      const Offset data_end = std::min(segment_end, limit);
      const std::string name = SegmentName(code, marker + 4, data_end);
      std::string inside = prefix;
      inside += "inside ";
      inside += name;
      inside += " segment";
      Paint(segment_start, data_end, inside);
      if (name == "APP1 (EXIF)" && kind != JpegKind::kThumbnail) {
        WalkThumbnail(marker + 4, segment_end, data_end, prefix);
      }
      if (name == "APP2 (MPF)" && kind == JpegKind::kMain && !mpf) {
        mpf = ReadMpfIndex(marker + 4, data_end);
      }
      if (segment_end > limit) {
        return broken(limit);
      }
      pos = segment_end;
      if (code == 0xDA) {
        // Entropy-coded data, up to the first FF (after any fill) that is
        // neither stuffing (FF 00) nor a restart marker (FF D0..D7). A run
        // of FF the input's end cuts short is still data.
        Offset end = pos;
        while (end < limit) {
          if (in_[end] != 0xFF) {
            ++end;
            continue;
          }
          Offset next = end;
          while (next < limit && in_[next] == 0xFF) {
            ++next;
          }
          if (next == limit) {
            end = limit;
          } else if (in_[next] == 0x00 || (in_[next] >= 0xD0 && in_[next] <= 0xD7)) {
            end = next + 1;
            continue;
          }
          break;
        }
        Paint(pos, end, prefix + "JPEG entropy-coded data");
        if (end == limit) {
          return broken(limit);
        }
        pos = end;
      }
    }
  }

  // The segment's name; an APPn's payload [from, to) may add its identifier.
  [[nodiscard]] std::string SegmentName(unsigned code, Offset from, Offset to) const {
    using namespace std::string_view_literals;
    const std::tuple<unsigned, std::string_view, const char*> identified[] = {
        {0xE0, "JFIF\0"sv, "APP0 (JFIF)"},
        {0xE0, "JFXX\0"sv, "APP0 (JFXX)"},
        {0xE1, "Exif\0\0"sv, "APP1 (EXIF)"},
        {0xE1, "http://ns.adobe.com/xap/1.0/\0"sv, "APP1 (XMP)"},
        {0xE1, "http://ns.adobe.com/xmp/extension/\0"sv, "APP1 (XMP)"},
        {0xE2, "ICC_PROFILE\0"sv, "APP2 (ICC profile)"},
        {0xE2, "MPF\0"sv, "APP2 (MPF)"},
        {0xED, "Photoshop 3.0\0"sv, "APP13 (Photoshop)"},
        {0xEE, "Adobe"sv, "APP14 (Adobe)"},
    };
    for (const auto& [app, identifier, name] : identified) {
      if (code == app && StartsWith(from, to, identifier)) {
        return name;
      }
    }
    const std::pair<unsigned, const char*> named[] = {
        {0xC4, "DHT"}, {0xC8, "JPG"}, {0xCC, "DAC"}, {0xDA, "SOS"}, {0xDB, "DQT"},
        {0xDC, "DNL"}, {0xDD, "DRI"}, {0xDE, "DHP"}, {0xDF, "EXP"}, {0xFE, "COM"},
    };
    for (const auto& [fixed, name] : named) {
      if (code == fixed) {
        return name;
      }
    }
    // The numbered families: C0..CF, E0..EF, F0..FD.
    const unsigned family = code & 0xF0U;
    const char* stem = family == 0xC0 ? "SOF" : family == 0xE0 ? "APP" : "JPG";
    std::string name = stem;
    name += std::to_string(code - family);
    return name;
  }

  // A TIFF structure from `tiff` to `end`: reads that stay inside it.
  struct Tiff {
    const Painter& painter;
    Offset tiff;
    Offset end;
    bool big_endian = false;

    [[nodiscard]] bool Has(Offset at, Offset count) const { return at + count <= end; }
    [[nodiscard]] std::uint32_t Read(Offset at, int count) const {
      return big_endian ? painter.BigEndian(at, count) : painter.LittleEndian(at, count);
    }
  };

  // The byte order at `tiff`, if it is II or MM and inside [.., end).
  [[nodiscard]] std::optional<Tiff> OpenTiff(Offset tiff, Offset end) const {
    if (StartsWith(tiff, end, "MM")) {
      return Tiff{*this, tiff, end, true};
    }
    if (StartsWith(tiff, end, "II")) {
      return Tiff{*this, tiff, end, false};
    }
    return std::nullopt;
  }

  // The offset of IFD number `which` (0 or 1) of a TIFF, if it lies inside.
  static std::optional<Offset> FindIfd(const Tiff& t, int which) {
    if (!t.Has(t.tiff + 4, 4)) {
      return std::nullopt;
    }
    Offset ifd = t.tiff + t.Read(t.tiff + 4, 4);
    for (int k = 0; k < which; ++k) {
      if (!t.Has(ifd, 2)) {
        return std::nullopt;
      }
      const Offset next_field = ifd + 2 + 12 * Offset{t.Read(ifd, 2)};
      if (!t.Has(next_field, 4) || t.Read(next_field, 4) == 0) {
        return std::nullopt;
      }
      ifd = t.tiff + t.Read(next_field, 4);
    }
    return ifd;
  }

  // The EXIF payload starts at `payload`; its TIFF header 6 bytes in.
  // NOLINTNEXTLINE(misc-no-recursion): see WalkJpeg
  void WalkThumbnail(Offset payload, Offset segment_end, Offset data_end,
                     const std::string& prefix) {
    const std::optional<Tiff> t = OpenTiff(payload + 6, data_end);
    if (!t) {
      return;
    }
    const std::optional<Offset> ifd1 = FindIfd(*t, 1);
    if (!ifd1 || !t->Has(*ifd1, 2)) {
      return;
    }
    // The first entry of the tag, among those inside, and its SHORT or
    // LONG value.
    const auto value_of = [&](unsigned tag) -> std::optional<Offset> {
      for (Offset k = 0; k < t->Read(*ifd1, 2) && t->Has(*ifd1 + 2 + 12 * k, 12); ++k) {
        const Offset entry = *ifd1 + 2 + 12 * k;
        if (t->Read(entry, 2) != tag) {
          continue;
        }
        const unsigned type = t->Read(entry + 2, 2);
        if (t->Read(entry + 4, 4) == 0 || (type != 3 && type != 4)) {
          return std::nullopt;
        }
        return t->Read(entry + 8, type == 3 ? 2 : 4);
      }
      return std::nullopt;
    };
    const std::optional<Offset> offset = value_of(0x0201);
    const std::optional<Offset> length = value_of(0x0202);
    if (!offset || !length) {
      return;
    }
    const Offset start = t->tiff + *offset;
    const Offset extent_end = std::min(start + *length, segment_end);
    const Offset limit = std::min(extent_end, data_end);
    if (start >= limit) {
      return;
    }
    const std::string thumbnail = prefix + "EXIF thumbnail: ";
    const WalkEnd end = WalkJpeg(start, limit, thumbnail, JpegKind::kThumbnail);
    if (end.ended) {
      Paint(*end.ended, limit, thumbnail + "after the end of the JPEG image");
    }
  }

  // The images K >= 2 of an MPF payload that starts at `payload`; its TIFF
  // header 4 bytes in.
  [[nodiscard]] std::vector<MpfImage> ReadMpfIndex(Offset payload, Offset data_end) const {
    std::vector<MpfImage> images;
    const std::optional<Tiff> t = OpenTiff(payload + 4, data_end);
    if (!t) {
      return images;
    }
    const std::optional<Offset> ifd = FindIfd(*t, 0);
    if (!ifd || !t->Has(*ifd, 2)) {
      return images;
    }
    for (Offset k = 0; k < t->Read(*ifd, 2); ++k) {
      const Offset entry = *ifd + 2 + 12 * k;
      if (!t->Has(entry, 12)) {
        return images;
      }
      if (t->Read(entry, 2) != 0xB002) {
        continue;
      }
      if (t->Read(entry + 2, 2) != 7) {
        return images;
      }
      const Offset count = t->Read(entry + 4, 4) / 16;
      const Offset table = t->tiff + t->Read(entry + 8, 4);
      for (Offset n = 1; n <= count && t->Has(table + 16 * (n - 1), 16); ++n) {
        if (n >= 2) {
          images.push_back(
              {static_cast<std::size_t>(n), t->tiff + t->Read(table + 16 * (n - 1) + 8, 4)});
        }
      }
      return images;
    }
    return images;
  }

  // After the main image's EOI at `reached`: the images its MPF index
  // declares there, in order of start.
  // NOLINTNEXTLINE(misc-no-recursion): see WalkJpeg
  WalkEnd WalkMpfImages(std::vector<MpfImage> images, Offset reached) {
    std::stable_sort(images.begin(), images.end(),
                     [](const MpfImage& a, const MpfImage& b) { return a.start < b.start; });
    std::size_t walked = 0;
    for (const MpfImage& image : images) {
      if (walked == kMaxMpfImages) {
        break;
      }
      if (image.start < reached) {
        continue;
      }
      Paint(reached, image.start, "after the end of the JPEG image");
      if (image.start >= size()) {
        return {std::nullopt, size()};  // the input ends before the image
      }
      const std::string prefix = "MPF image " + std::to_string(image.number) + ": ";
      const WalkEnd end = WalkJpeg(image.start, size(), prefix, JpegKind::kMpfImage);
      if (end.broken) {
        return end;
      }
      reached = *end.ended;
      ++walked;
    }
    return {reached, std::nullopt};
  }

  // ---- PNG, GIF, BMP ----

  WalkEnd WalkPng() {
    Paint(0, 8, "PNG signature");
    Offset pos = 8;
    while (true) {
      // A chunk whose length and type are cut off breaks at its start.
      if (pos + 8 > size()) {
        return BreakAt("PNG", pos);
      }
      const std::uint32_t length = BigEndian(pos, 4);
      const auto is_letter = [](unsigned char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
      };
      if (length > 0x7FFF'FFFFU || !std::all_of(&in_[pos + 4], &in_[pos + 4] + 4, is_letter)) {
        return BreakAt("PNG", pos);
      }
      const std::string type(reinterpret_cast<const char*>(&in_[pos + 4]), 4);
      const Offset end = pos + 12 + length;
      Paint(pos, end, "inside PNG " + type + " chunk");
      if (end > size()) {
        return BreakAt("PNG", size());
      }
      if (type == "IEND") {
        return {end, std::nullopt};
      }
      pos = end;
    }
  }

  // The position after the sub-blocks that start at `pos` and their
  // terminator; past the input's end when it cuts them.
  [[nodiscard]] Offset SkipSubBlocks(Offset pos) const {
    while (pos < size() && in_[pos] != 0) {
      pos += 1 + Offset{in_[pos]};
    }
    return pos + 1;
  }

  WalkEnd WalkGif() {
    Paint(0, size(), "inside the GIF image");
    const auto colour_table = [](unsigned char packed) {
      return (packed & 0x80) != 0 ? Offset{3} << ((packed & 7) + 1) : 0;
    };
    if (size() < 13) {
      return BreakAt("GIF", size());
    }
    Offset pos = 13 + colour_table(in_[10]);
    while (pos < size()) {
      if (in_[pos] == 0x3B) {
        return {pos + 1, std::nullopt};
      }
      if (in_[pos] == 0x21) {
        pos = SkipSubBlocks(pos + 2);
      } else if (in_[pos] == 0x2C) {
        if (pos + 10 > size()) {
          break;
        }
        pos = SkipSubBlocks(pos + 10 + colour_table(in_[pos + 9]) + 1);
      } else {
        return BreakAt("GIF", pos);
      }
    }
    return BreakAt("GIF", size());
  }

  WalkEnd WalkBmp() {
    const Offset declared = LittleEndian(2, 4);
    Paint(0, declared, "inside the BMP image");
    if (declared > size()) {
      return BreakAt("BMP", size());
    }
    return {declared, std::nullopt};
  }

  WalkEnd BreakAt(std::string_view format, Offset at) {
    Paint(at, size(), BreakText(format, at));
    return {std::nullopt, at};
  }

 private:
  Bytes in_;
  std::vector<std::uint32_t> paint_;  // by byte: an index into places_
  std::vector<ReferencePlace> places_;
  std::map<std::pair<std::string, bool>, std::uint32_t> ids_;
};

ImageFormat FormatOf(const Painter& p) {
  const Offset size = p.size();
  using namespace std::string_view_literals;
  if (p.StartsWith(0, size, "\xFF\xD8\xFF")) {
    return ImageFormat::kJpeg;
  }
  if (p.StartsWith(0, size, "\x89PNG\r\n\x1A\n")) {
    return ImageFormat::kPng;
  }
  if (p.StartsWith(0, size, "GIF87a") || p.StartsWith(0, size, "GIF89a")) {
    return ImageFormat::kGif;
  }
  if (p.StartsWith(0, size, "BM") && size >= 18 && p.StartsWith(6, size, "\0\0\0\0"sv) &&
      p.LittleEndian(2, 4) >= 26) {
    const std::uint32_t header = p.LittleEndian(14, 4);
    for (const std::uint32_t known : {12, 16, 40, 52, 56, 64, 108, 124}) {
      if (header == known) {
        return ImageFormat::kBmp;
      }
    }
  }
  return ImageFormat::kNone;
}

AppendedStart AppendedStartOf(const Painter& p, Offset at) {
  using namespace std::string_view_literals;
  const Offset size = p.size();
  if (p.StartsWith(at, size, "\xFF\xD8\xFF")) {
    return AppendedStart::kJpeg;
  }
  if (p.StartsWith(at, size, "PK\x03\x04") || p.StartsWith(at, size, "PK\x05\x06") ||
      p.StartsWith(at, size, "PK\x07\x08")) {
    return AppendedStart::kZip;
  }
  if (p.StartsWith(at + 4, size, "ftyp")) {
    return AppendedStart::kMp4;
  }
  return AppendedStart::kUnknown;
}

std::string_view Title(ImageFormat format) {
  switch (format) {
    case ImageFormat::kJpeg:
      return "JPEG";
    case ImageFormat::kPng:
      return "PNG";
    case ImageFormat::kGif:
      return "GIF";
    case ImageFormat::kBmp:
      return "BMP";
    case ImageFormat::kNone:
      break;
  }
  return {};
}

}  // namespace

ReferenceWalk::ReferenceWalk(Bytes content) {
  Painter p(content);
  outcome_.format = FormatOf(p);
  WalkEnd end;
  switch (outcome_.format) {
    case ImageFormat::kJpeg:
      end = p.WalkJpeg(0, p.size(), "", JpegKind::kMain);
      break;
    case ImageFormat::kPng:
      end = p.WalkPng();
      break;
    case ImageFormat::kGif:
      end = p.WalkGif();
      break;
    case ImageFormat::kBmp:
      end = p.WalkBmp();
      break;
    case ImageFormat::kNone:
      p.Paint(0, p.size(), "not a recognised format");
      break;
  }
  outcome_.broken_at = end.broken;
  if (end.ended) {
    std::string after = "after the end of the ";
    after += Title(outcome_.format);
    after += " image";
    p.Paint(*end.ended, p.size(), after);
    if (p.size() > *end.ended) {
      outcome_.appended =
          AppendedData{*end.ended, p.size() - *end.ended, AppendedStartOf(p, *end.ended)};
    }
  }

  // The list of regions holds so many; the region that would pass the limit
  // and every one after it become one that says the walk stopped.
  places_ = std::move(p.places());
  place_of_byte_ = std::move(p.paint());
  std::size_t regions = 0;
  for (std::size_t at = 0; at < place_of_byte_.size(); ++at) {
    if (at == 0 || place_of_byte_[at] != place_of_byte_[at - 1]) {
      ++regions;
    }
    if (regions == RegionList::kMaxRegions) {
      std::string stopped = "at or after offset ";
      stopped += std::to_string(at);
      stopped += ", where the walk stops: more parts than it follows";
      places_.push_back({stopped, false});
      std::fill(place_of_byte_.begin() + static_cast<std::ptrdiff_t>(at), place_of_byte_.end(),
                static_cast<std::uint32_t>(places_.size() - 1));
      break;
    }
  }
}

const ReferencePlace& ReferenceWalk::PlaceOf(std::uint64_t offset) const {
  return places_[place_of_byte_.at(offset)];
}

}  // namespace telltale
