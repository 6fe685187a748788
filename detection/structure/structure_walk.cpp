// SPDX-License-Identifier: Apache-2.0
// The structure walk: tells the input's format from its first bytes, hands
// every byte to that format's walk, and once the image has ended notes what
// the data after it starts with.
#include "telltale/structure_walk.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "structure/format_walk.h"
#include "structure/region_list.h"

namespace telltale {
namespace {

using ByteSpan = std::span<const unsigned char>;

constexpr std::uint64_t kAllOffsets = std::numeric_limits<std::uint64_t>::max();

// The most bytes the format test reads: a BMP's header size ends at 18.
constexpr std::size_t kSniffSize = 18;
// The most bytes the test of appended data reads: "ftyp" ends at 8.
constexpr std::size_t kAppendedProbeSize = 8;

constexpr std::array<unsigned char, 3> kJpegStart{0xFF, 0xD8, 0xFF};
constexpr std::array<unsigned char, 8> kPngSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Whether the first bytes of the input, as many as there are, agree with
// `expected` so far.
bool StartsAs(ByteSpan head, std::string_view expected) {
  const std::size_t count = std::min(head.size(), expected.size());
  return std::equal(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(count),
                    expected.begin(),
                    [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); });
}

template <std::size_t N>
std::string_view AsText(const std::array<unsigned char, N>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), N};
}

std::uint32_t LittleEndian32(ByteSpan bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} | (std::uint32_t{bytes[at + 1]} << 8) |
         (std::uint32_t{bytes[at + 2]} << 16) | (std::uint32_t{bytes[at + 3]} << 24);
}

enum class Verdict { kMatch, kMismatch, kNeedMore };

Verdict LooksLikeBmp(ByteSpan head) {
  if (!StartsAs(head, "BM")) {
    return Verdict::kMismatch;
  }
  for (std::size_t at = 6; at < 10 && at < head.size(); ++at) {
    if (head[at] != 0) {
      return Verdict::kMismatch;  // the reserved bytes
    }
  }
  if (head.size() >= 6 && LittleEndian32(head, 2) < 26) {
    return Verdict::kMismatch;  // a file size too small for any header
  }
  if (head.size() < kSniffSize) {
    return Verdict::kNeedMore;
  }
  constexpr std::array<std::uint32_t, 8> kHeaderSizes{12, 16, 40, 52, 56, 64, 108, 124};
  return std::ranges::find(kHeaderSizes, LittleEndian32(head, 14)) != kHeaderSizes.end()
             ? Verdict::kMatch
             : Verdict::kMismatch;
}

// A format's test on the first bytes of the input.
Verdict LooksLike(ImageFormat format, ByteSpan head) {
  const auto by_signature = [head](std::string_view signature) {
    if (!StartsAs(head, signature)) {
      return Verdict::kMismatch;
    }
    return head.size() >= signature.size() ? Verdict::kMatch : Verdict::kNeedMore;
  };
  switch (format) {
    case ImageFormat::kJpeg:
      return by_signature(AsText(kJpegStart));
    case ImageFormat::kPng:
      return by_signature(AsText(kPngSignature));
    case ImageFormat::kGif: {
      const Verdict gif87 = by_signature("GIF87a");
      return gif87 != Verdict::kMismatch ? gif87 : by_signature("GIF89a");
    }
    case ImageFormat::kBmp:
      return LooksLikeBmp(head);
    case ImageFormat::kNone:
      break;
  }
  return Verdict::kMismatch;
}

// The format the first bytes show; nullopt while more bytes could still
// decide it. `complete` when no more bytes come.
std::optional<ImageFormat> Sniff(ByteSpan head, bool complete) {
  bool undecided = false;
  for (const ImageFormat format :
       {ImageFormat::kJpeg, ImageFormat::kPng, ImageFormat::kGif, ImageFormat::kBmp}) {
    const Verdict verdict = LooksLike(format, head);
    if (verdict == Verdict::kMatch) {
      return format;
    }
    undecided = undecided || verdict == Verdict::kNeedMore;
  }
  if (undecided && !complete) {
    return std::nullopt;
  }
  return ImageFormat::kNone;
}

AppendedStart StartOf(ByteSpan bytes) {
  if (StartsAs(bytes, AsText(kJpegStart)) && bytes.size() >= kJpegStart.size()) {
    return AppendedStart::kJpeg;
  }
  if (bytes.size() >= 4) {
    for (const std::string_view zip :
         {std::string_view("PK\x03\x04", 4), std::string_view("PK\x05\x06", 4),
          std::string_view("PK\x07\x08", 4)}) {
      if (StartsAs(bytes, zip)) {
        return AppendedStart::kZip;
      }
    }
  }
  if (bytes.size() >= 8 && StartsAs(bytes.subspan(4), "ftyp")) {
    return AppendedStart::kMp4;
  }
  return AppendedStart::kUnknown;
}

// "JPEG", "PNG", ... as the texts of the places name them.
std::string_view FormatTitle(ImageFormat format) {
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

// A few bytes kept in order, up to a fixed number.
template <std::size_t N>
struct SmallBytes {
  std::array<unsigned char, N> bytes{};
  std::size_t size = 0;

  // Keeps as many of `more` as there is room for; returns how many.
  std::size_t Append(ByteSpan more) {
    const std::size_t count = std::min(N - size, more.size());
    std::copy_n(more.begin(), count, bytes.begin() + static_cast<std::ptrdiff_t>(size));
    size += count;
    return count;
  }
  [[nodiscard]] ByteSpan view() const { return {bytes.data(), size}; }
};

}  // namespace

std::string_view FormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::kJpeg:
      return "jpeg";
    case ImageFormat::kPng:
      return "png";
    case ImageFormat::kGif:
      return "gif";
    case ImageFormat::kBmp:
      return "bmp";
    case ImageFormat::kNone:
      break;
  }
  return {};
}

std::string_view AppendedStartName(AppendedStart start) {
  switch (start) {
    case AppendedStart::kJpeg:
      return "jpeg";
    case AppendedStart::kZip:
      return "zip";
    case AppendedStart::kMp4:
      return "mp4";
    case AppendedStart::kUnknown:
      break;
  }
  return "unknown";
}

struct StructureWalk::State {
  RegionList regions;
  // Until the format is known: the first bytes.
  SmallBytes<kSniffSize> head;
  std::optional<ImageFormat> format;
  std::unique_ptr<FormatWalk> walk;
  std::uint64_t fed = 0;  // bytes of the input so far
  // The last bytes before the chunk being fed, in case the format walk tells
  // of its end a little after the end's bytes went by.
  SmallBytes<kAppendedProbeSize> recent;
  std::optional<std::uint64_t> ended_at;
  SmallBytes<kAppendedProbeSize> appended_start;
  bool appended_start_lost = false;  // the end was told too late to keep them
  bool finished = false;

  void Start(ImageFormat sniffed) {
    format = sniffed;
    switch (sniffed) {
      case ImageFormat::kJpeg:
        walk = MakeJpegWalk(regions, 0);
        break;
      case ImageFormat::kPng:
        walk = MakePngWalk(regions);
        break;
      case ImageFormat::kGif:
        walk = MakeGifWalk(regions);
        break;
      case ImageFormat::kBmp:
        walk = MakeBmpWalk(regions);
        break;
      case ImageFormat::kNone:
        regions.Mark(0, "not a recognised format");
        break;
    }
    Walk(head.view());
  }

  // Whether the format walk still takes bytes.
  [[nodiscard]] bool walking() const { return walk && !ended_at && !walk->broken_at(); }

  void Walk(ByteSpan bytes) {
    const std::uint64_t offset = fed;
    if (walking()) {
      walk->Feed(bytes, offset);
      NoteEnd(bytes, offset);
    } else if (ended_at && !appended_start_lost) {
      appended_start.Append(bytes);
    }
    fed += bytes.size();
    KeepRecent(bytes);
  }

  // Once the format walk has ended: the place after it, and the first bytes
  // after it. `bytes`, at `offset`, were the last fed.
  void NoteEnd(ByteSpan bytes, std::uint64_t offset) {
    if (ended_at || !walk->ended_at()) {
      return;
    }
    const std::uint64_t end = *walk->ended_at();
    ended_at = end;
    std::string context = "after the end of the ";
    context += FormatTitle(*format);
    context += " image";
    regions.Mark(end, context);
    if (end < offset) {
      if (offset - end > recent.size) {
        appended_start_lost = true;
        return;
      }
      appended_start.Append(recent.view().last(static_cast<std::size_t>(offset - end)));
    }
    appended_start.Append(bytes.subspan(static_cast<std::size_t>(
        std::min<std::uint64_t>(end > offset ? end - offset : 0, bytes.size()))));
  }

  void KeepRecent(ByteSpan bytes) {
    if (bytes.size() >= kAppendedProbeSize) {
      recent.size = 0;
      recent.Append(bytes.last(kAppendedProbeSize));
      return;
    }
    const std::size_t keep = std::min(recent.size, kAppendedProbeSize - bytes.size());
    std::copy(recent.bytes.begin() + static_cast<std::ptrdiff_t>(recent.size - keep),
              recent.bytes.begin() + static_cast<std::ptrdiff_t>(recent.size),
              recent.bytes.begin());
    recent.size = keep;
    recent.Append(bytes);
  }
};

StructureWalk::StructureWalk() : state_(std::make_unique<State>()) {}

StructureWalk::~StructureWalk() = default;

void StructureWalk::Feed(std::span<const unsigned char> bytes) {
  State& s = *state_;
  if (s.finished || bytes.empty()) {
    return;
  }
  if (!s.format) {
    const std::size_t taken = s.head.Append(bytes);
    bytes = bytes.subspan(taken);
    const std::optional<ImageFormat> sniffed = Sniff(s.head.view(), false);
    if (!sniffed) {
      return;
    }
    s.Start(*sniffed);
  }
  s.Walk(bytes);
}

void StructureWalk::Finish() {
  State& s = *state_;
  if (s.finished) {
    return;
  }
  if (!s.format) {
    s.Start(*Sniff(s.head.view(), true));
  }
  if (s.walking()) {
    s.walk->Finish(s.fed);
    s.NoteEnd({}, s.fed);
  }
  s.finished = true;
}

std::uint64_t StructureWalk::settled() const {
  const State& s = *state_;
  if (s.finished) {
    return kAllOffsets;
  }
  if (!s.format) {
    return 0;
  }
  // The whole input is one region, or the rest of it is: after the image's
  // end, after a break, or once the list of regions is full.
  if (!s.walking() || s.regions.full()) {
    return kAllOffsets;
  }
  return s.walk->settled();
}

FindingPlace StructureWalk::PlaceOf(std::uint64_t offset) const {
  return state_->regions.At(offset);
}

WalkOutcome StructureWalk::outcome() const {
  const State& s = *state_;
  WalkOutcome outcome;
  outcome.format = s.format.value_or(ImageFormat::kNone);
  if (s.walk) {
    outcome.broken_at = s.walk->broken_at();
  }
  if (s.ended_at && s.fed > *s.ended_at) {
    outcome.appended = AppendedData{
        *s.ended_at, s.fed - *s.ended_at,
        s.appended_start_lost ? AppendedStart::kUnknown : StartOf(s.appended_start.view())};
  }
  return outcome;
}

}  // namespace telltale
