// SPDX-License-Identifier: Apache-2.0
// The JPEG walk: follows the marker chain of a JPEG as its bytes arrive, in
// chunks that may end anywhere, and marks each part of it. It holds back at
// most one segment: the first bytes of an APPn segment, whose name depends on
// them, or the whole of an EXIF or MPF segment, whose content it follows.
// Entropy-coded data is searched for FF and never held.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "structure/entropy_data_end.h"
#include "structure/exif_thumbnail.h"
#include "structure/format_walk.h"
#include "structure/jpeg_segment_names.h"
#include "structure/mpf_index.h"

namespace telltale {
namespace {

constexpr unsigned char kFf = 0xFF;
constexpr unsigned char kSoi = 0xD8;
constexpr unsigned char kEoi = 0xD9;
constexpr unsigned char kSos = 0xDA;
constexpr unsigned char kDqt = 0xDB;
constexpr std::size_t kHeaderBytes = 4;  // FF, the code, the 16-bit length
constexpr std::size_t kMaxMpfImages = 64;

constexpr bool IsRestart(unsigned char code) { return code >= 0xD0 && code <= 0xD7; }

class JpegWalk final : public FormatWalk {
 public:
  JpegWalk(RegionList& regions, std::uint64_t start, JpegWalkOptions options)
      : regions_(regions),
        options_(std::move(options)),
        start_(start),
        pos_(start),
        fed_end_(start) {}

  void Feed(std::span<const unsigned char> bytes, std::uint64_t offset) override {
    fed_end_ = offset + bytes.size();
    while (!bytes.empty() && !Done()) {
      const std::uint64_t before = pos_;
      Step(bytes);
      bytes = bytes.subspan(static_cast<std::size_t>(pos_ - before));
    }
  }

  void Finish(std::uint64_t end) override;

  [[nodiscard]] std::uint64_t settled() const override;
  [[nodiscard]] std::optional<std::uint64_t> ended_at() const override { return ended_at_; }
  [[nodiscard]] std::optional<std::uint64_t> broken_at() const override { return broken_at_; }

 private:
  enum class Phase {
    kSoi,        // the first three bytes, FF D8 FF
    kMarkerDue,  // the chain expects a marker's FF
    kFill,       // a run of FF from run_start_, waiting for the byte after it
    kLength,     // a segment's marker read, not yet its length
    kHold,       // holding a segment's bytes up to hold_to_
    kSkip,       // a named segment's remaining bytes
    kEntropy,    // entropy-coded data after an SOS segment
    kBetween,    // after an image's EOI, before or in an image MPF declares
    kEnded,
    kBroken,
  };

  struct DeclaredImage {
    std::uint64_t start;
    std::uint32_t number;
  };

  [[nodiscard]] bool Done() const { return phase_ == Phase::kEnded || phase_ == Phase::kBroken; }

  // Consumes one or more bytes from the front of `bytes` (pos_ moves past
  // them), unless the walk ends or breaks first.
  void Step(std::span<const unsigned char> bytes);
  void StepBetween(std::span<const unsigned char> bytes);

  void OnMarker(std::uint64_t at, unsigned char code);
  void OnLength();
  void OnHeld();
  void EnterSkip();
  void AfterSegment();
  void BeginRun(std::uint64_t at, bool in_scan) {
    run_start_ = at;
    in_scan_ = in_scan;
    phase_ = Phase::kFill;
  }

  [[nodiscard]] bool Follows(SegmentKind kind) const {
    return (kind == SegmentKind::kExif && options_.follow_thumbnail) ||
           (kind == SegmentKind::kMpf && options_.follow_mpf && !mpf_read_);
  }
  [[nodiscard]] std::span<const unsigned char> HeldPayload() const {
    return std::span(held_).subspan(std::min(held_.size(), kHeaderBytes));
  }
  void MarkSegment(std::string_view name);
  // Marks a held segment, and what its content leads to, from the bytes held.
  void MarkHeld(const SegmentLabel& label, bool whole);
  void WalkThumbnail(std::span<const unsigned char> payload, std::string_view segment_name);
  void ReadImages(std::span<const unsigned char> payload);

  void ImageEnded();
  void NextImage();
  void Break(std::uint64_t at);

  void Mark(std::uint64_t at, std::string_view text, bool explained = false) {
    if (options_.prefix.empty()) {
      regions_.Mark(at, text, explained);
      return;
    }
    std::string context = options_.prefix;
    context += text;
    regions_.Mark(at, context, explained);
  }

  RegionList& regions_;
  JpegWalkOptions options_;
  std::uint64_t start_;
  std::uint64_t pos_;  // the offset of the next byte to walk
  std::uint64_t fed_end_;
  Phase phase_ = Phase::kSoi;

  std::uint64_t run_start_ = 0;
  bool in_scan_ = false;  // the run of FF is in entropy-coded data

  unsigned char code_ = 0;
  std::uint64_t segment_start_ = 0;
  std::uint64_t segment_end_ = 0;
  std::vector<unsigned char> held_;  // the segment's bytes from its FF
  std::size_t hold_to_ = 0;

  bool mpf_read_ = false;
  std::vector<DeclaredImage> images_;  // by start
  std::size_t next_image_ = 0;
  std::size_t images_walked_ = 0;
  std::unique_ptr<FormatWalk> image_walk_;

  std::optional<std::uint64_t> ended_at_;
  std::optional<std::uint64_t> broken_at_;
};

void JpegWalk::Step(std::span<const unsigned char> bytes) {
  switch (phase_) {
    case Phase::kSoi: {
      static constexpr unsigned char kStart[] = {kFf, kSoi, kFf};
      const auto index = static_cast<std::size_t>(pos_ - start_);
      ++pos_;
      if (bytes[0] != kStart[index]) {
        Break(start_);
      } else if (index == 2) {
        Mark(start_, "JPEG start of image marker");
        BeginRun(pos_ - 1, false);
      }
      return;
    }
    case Phase::kMarkerDue:
      ++pos_;
      if (bytes[0] != kFf) {
        Break(pos_ - 1);
      } else {
        BeginRun(pos_ - 1, false);
      }
      return;
    case Phase::kFill: {
      const auto other = std::ranges::find_if(bytes, [](unsigned char b) { return b != kFf; });
      pos_ += static_cast<std::uint64_t>(other - bytes.begin());
      if (other != bytes.end()) {
        ++pos_;
        OnMarker(pos_ - 2, *other);  // the marker's FF is the byte before
      }
      return;
    }
    case Phase::kLength:
    case Phase::kHold: {
      const std::size_t goal = phase_ == Phase::kLength ? kHeaderBytes : hold_to_;
      const std::size_t take = std::min(bytes.size(), goal - held_.size());
      held_.insert(held_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
      pos_ += take;
      if (held_.size() == goal) {
        if (phase_ == Phase::kLength) {
          OnLength();
        } else {
          OnHeld();
        }
      }
      return;
    }
    case Phase::kSkip:
      pos_ += std::min<std::uint64_t>(bytes.size(), segment_end_ - pos_);
      if (pos_ == segment_end_) {
        AfterSegment();
      }
      return;
    case Phase::kEntropy: {
      // Stuffed FF 00 and restart markers are the scan's own data; any other
      // FF, or one at the end of the bytes, starts a run the next steps follow.
      const std::size_t end = FindEntropyDataEnd(bytes.data(), bytes.size());
      pos_ += end;
      if (end < bytes.size()) {
        BeginRun(pos_++, true);
      }
      return;
    }
    case Phase::kBetween:
      StepBetween(bytes);
      return;
    case Phase::kEnded:
    case Phase::kBroken:
      return;
  }
}

void JpegWalk::OnMarker(std::uint64_t at, unsigned char code) {
  if (in_scan_ && (code == 0 || IsRestart(code))) {
    // A stuffed FF or a restart marker: the scan's data goes on.
    phase_ = Phase::kEntropy;
    return;
  }
  if (at > run_start_) {
    Mark(run_start_, "JPEG fill bytes");
  }
  if (code < 0xC0 || (code >= 0xD0 && code <= kSoi)) {
    Break(at);
  } else if (code == kEoi) {
    Mark(at, "JPEG end of image marker");
    ImageEnded();
  } else {
    code_ = code;
    segment_start_ = at;
    held_.assign({kFf, code});
    phase_ = Phase::kLength;
  }
}

void JpegWalk::OnLength() {
  const unsigned length = (unsigned{held_[2]} << 8U) | held_[3];
  if (length < 2) {
    Break(segment_start_);
    return;
  }
  segment_end_ = segment_start_ + 2 + length;
  const std::size_t identifier = std::min<std::size_t>(IdentifierBytes(code_), length - 2);
  if (identifier == 0) {
    MarkSegment(LabelSegment(code_, {}).name);
    EnterSkip();
    return;
  }
  hold_to_ = kHeaderBytes + identifier;
  phase_ = Phase::kHold;
}

void JpegWalk::OnHeld() {
  const SegmentLabel label = LabelSegment(code_, HeldPayload());
  const bool whole = held_.size() == segment_end_ - segment_start_;
  if (!whole && Follows(label.kind)) {
    hold_to_ = static_cast<std::size_t>(segment_end_ - segment_start_);
    return;
  }
  MarkHeld(label, whole);
  EnterSkip();
}

void JpegWalk::EnterSkip() {
  held_.clear();
  phase_ = Phase::kSkip;
  if (pos_ == segment_end_) {
    AfterSegment();
  }
}

void JpegWalk::AfterSegment() {
  if (code_ == kSos) {
    Mark(segment_end_, "JPEG entropy-coded data");
    phase_ = Phase::kEntropy;
  } else {
    phase_ = Phase::kMarkerDue;
  }
}

void JpegWalk::MarkSegment(std::string_view name) {
  std::string text = "inside ";
  text += name;
  text += " segment";
  if (code_ == kDqt) {
    Mark(segment_start_, "JPEG quantization table marker", true);
    Mark(segment_start_ + 2, text);
  } else {
    Mark(segment_start_, text);
  }
}

void JpegWalk::MarkHeld(const SegmentLabel& label, bool whole) {
  MarkSegment(label.name);
  if (label.kind == SegmentKind::kExif && options_.follow_thumbnail) {
    WalkThumbnail(HeldPayload(), label.name);
  } else if (label.kind == SegmentKind::kMpf && whole && Follows(label.kind)) {
    ReadImages(HeldPayload());
  }
}

void JpegWalk::WalkThumbnail(std::span<const unsigned char> payload,
                             std::string_view segment_name) {
  const auto extent = FindExifThumbnail(payload);
  if (!extent) {
    return;
  }
  const std::uint64_t payload_start = segment_start_ + kHeaderBytes;
  const std::uint64_t first = payload_start + extent->offset;
  const std::uint64_t end = first + extent->size;
  std::string prefix = options_.prefix;
  prefix += "EXIF thumbnail: ";
  const auto walk = MakeJpegWalk(regions_, first, {prefix, false, false});
  walk->Feed(payload.subspan(extent->offset, extent->size), first);
  if (!walk->ended_at() && !walk->broken_at()) {
    walk->Finish(end);
  }
  if (walk->ended_at() && *walk->ended_at() < end) {
    regions_.Mark(*walk->ended_at(), prefix + "after the end of the JPEG image");
  }
  if (end < payload_start + payload.size()) {
    std::string text = "inside ";
    text += segment_name;
    text += " segment";
    Mark(end, text);
  }
}

void JpegWalk::ReadImages(std::span<const unsigned char> payload) {
  mpf_read_ = true;
  const std::uint64_t payload_start = segment_start_ + kHeaderBytes;
  for (const MpfImage& image : ReadMpfIndex(payload)) {
    images_.push_back({payload_start + image.start, image.number});
  }
  std::ranges::sort(
      images_, {}, [](const DeclaredImage& image) { return std::pair(image.start, image.number); });
}

void JpegWalk::ImageEnded() {
  if (images_.empty()) {
    ended_at_ = pos_;
    phase_ = Phase::kEnded;
    return;
  }
  NextImage();
}

void JpegWalk::NextImage() {
  // Declared images that start before where the walk has reached are not
  // walked: their bytes were walked as part of an earlier image.
  while (next_image_ < images_.size() && images_[next_image_].start < pos_) {
    ++next_image_;
  }
  if (next_image_ == images_.size() || images_walked_ == kMaxMpfImages) {
    ended_at_ = pos_;
    phase_ = Phase::kEnded;
    return;
  }
  Mark(pos_, "after the end of the JPEG image");
  phase_ = Phase::kBetween;
}

void JpegWalk::StepBetween(std::span<const unsigned char> bytes) {
  if (!image_walk_) {
    const DeclaredImage& image = images_[next_image_];
    if (pos_ < image.start) {
      pos_ += std::min<std::uint64_t>(bytes.size(), image.start - pos_);
      return;
    }
    ++next_image_;
    ++images_walked_;
    std::string prefix = options_.prefix;
    prefix += "MPF image ";
    prefix += std::to_string(image.number);
    prefix += ": ";
    image_walk_ = MakeJpegWalk(regions_, pos_, {prefix, options_.follow_thumbnail, false});
  }
  image_walk_->Feed(bytes, pos_);
  if (const auto end = image_walk_->ended_at()) {
    pos_ = *end;
    image_walk_.reset();
    NextImage();
  } else if (const auto at = image_walk_->broken_at()) {
    broken_at_ = at;
    phase_ = Phase::kBroken;
  } else {
    pos_ += bytes.size();
  }
}

void JpegWalk::Break(std::uint64_t at) {
  Mark(at, BreakContext("JPEG", at));
  broken_at_ = at;
  phase_ = Phase::kBroken;
  held_ = {};
}

void JpegWalk::Finish(std::uint64_t end) {
  switch (phase_) {
    case Phase::kEnded:
    case Phase::kBroken:
      return;
    case Phase::kSoi:
      // Only FF D8 names the start of an image.
      if (pos_ - start_ < 2) {
        Break(start_);
        return;
      }
      Mark(start_, "JPEG start of image marker");
      break;
    case Phase::kFill:
      if (!in_scan_) {
        Mark(run_start_, "JPEG fill bytes");
      }
      break;
    case Phase::kLength:
      MarkSegment(LabelSegment(code_, {}).name);
      break;
    case Phase::kHold:
      MarkHeld(LabelSegment(code_, HeldPayload()), false);
      break;
    case Phase::kBetween:
      if (image_walk_) {
        image_walk_->Finish(end);
        broken_at_ = image_walk_->broken_at();
        phase_ = Phase::kBroken;
        return;
      }
      break;
    case Phase::kMarkerDue:
    case Phase::kSkip:
    case Phase::kEntropy:
      break;
  }
  Break(end);
}

std::uint64_t JpegWalk::settled() const {
  switch (phase_) {
    case Phase::kSoi:
      return start_;
    case Phase::kFill:
      return run_start_;
    case Phase::kLength:
    case Phase::kHold:
      return segment_start_;
    case Phase::kBetween:
      return image_walk_ ? image_walk_->settled() : pos_;
    case Phase::kEnded:
      return *ended_at_;
    case Phase::kBroken:
      return std::max(fed_end_, *broken_at_);
    case Phase::kMarkerDue:
    case Phase::kSkip:
    case Phase::kEntropy:
      break;
  }
  return pos_;
}

}  // namespace

std::unique_ptr<FormatWalk> MakeJpegWalk(RegionList& regions, std::uint64_t start,
                                         JpegWalkOptions options) {
  return std::make_unique<JpegWalk>(regions, start, std::move(options));
}

}  // namespace telltale
