#include "detection/scan_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "detection/internal/chunk_buffer.h"
#include "detection/internal/held_positions.h"
#include "detection/internal/rule_scan.h"
#include "detection/scan_error.h"

namespace telltale {
namespace {

const SignatureRule& kFirstRule = kSignatureTable[0];
const SignatureRule& kSecondRule = kSignatureTable[1];

// Bytes kept from one chunk for the next: a marker that starts in them may
// end in the next chunk.
constexpr std::size_t kCarry = kMaxMarkerLength - 1;
static_assert(kCarry <= ChunkBuffer::kHeadroom);

// A small input needs no more buffer than itself.
std::size_t ChunkFor(const ScanSource& source, std::size_t chunk) {
  chunk = std::max<std::size_t>(chunk, 1);
  const std::optional<std::uint64_t> size = source.size();
  return size ? static_cast<std::size_t>(std::clamp<std::uint64_t>(*size, 1, chunk)) : chunk;
}

class StreamedScan {
 public:
  StreamedScan(ScanSource& source, FindingOrder order, const FindingCallback& on_finding,
               const ScanControl& control, const ScanSizes& sizes)
      : source_(source),
        on_finding_(on_finding),
        control_(control),
        chunk_(ChunkFor(source, sizes.chunk)),
        block_(std::max<std::size_t>(sizes.block, 1)),
        buffer_(chunk_ + kCarry),
        read_again_(order == FindingOrder::kReport && source.CanReadAgain()) {
    if (order == FindingOrder::kReport && !read_again_) {
      held_.emplace(source.name(), sizes.held_in_memory);
    }
    progress_.total = source.size().value_or(0);
  }

  FindingCounts Run() {
    FirstPass();
    if (read_again_) {
      SecondPass();
    } else if (held_) {
      held_->Replay([this](Position p) { on_finding_(ScanFinding{&kSecondRule, p}); });
    }
    return counts_;
  }

 private:
  // Reads the whole input once: reports the first rule, and the second
  // rule's findings too unless they must wait for the first rule's end.
  void FirstPass() {
    unsigned char* const data = buffer_.data();
    std::uint64_t offset = 0;  // stream offset of data[0]
    std::size_t carried = 0;   // bytes just before data[0], from the chunk before
    std::uint64_t next_start = 0;
    for (;;) {
      const std::size_t got = Read(offset, {data, chunk_});
      const bool end = got < chunk_;
      const Bytes view(data - carried, carried + got);
      const std::uint64_t view_end = offset + got;
      // Starts whose marker may run into the next chunk wait for it.
      const std::uint64_t stop =
          end ? view_end
              : std::max(next_start, view_end - std::min<std::uint64_t>(view_end, kCarry));
      ScanStarts(view, offset - carried, next_start, stop);
      next_start = stop;
      if (end) {
        end_ = view_end;
        return;
      }
      carried = std::min(view.size(), kCarry);
      std::memmove(data - carried, view.data() + view.size() - carried, carried);
      offset = view_end;
    }
  }

  // Scans the starts [begin, stop) of `view`, whose first byte is at stream
  // offset `base`, one candidate block at a time.
  void ScanStarts(Bytes view, std::uint64_t base, std::uint64_t begin, std::uint64_t stop) {
    for (std::uint64_t start = begin; start < stop;) {
      const std::uint64_t block = start / block_;
      const std::uint64_t block_stop = std::min(stop, (block + 1) * block_);
      const auto from = static_cast<std::size_t>(start - base);
      const auto to = static_cast<std::size_t>(block_stop - base);
      if (ScanFirstRuleRange(view, from, to, base, first_found_, emit_)) {
        if (read_again_) {
          if (candidates_.size() <= block) {
            candidates_.resize(block + 1);
          }
          candidates_[block] = true;
        } else {
          ScanRuleRange(view, kSecondRule, from, to, base, second_found_, held_ ? hold_ : emit_);
        }
      }
      start = block_stop;
    }
  }

  // Reads again only the blocks the first pass noted, in order, and reports
  // the second rule's findings in them. The rule's state runs on across the
  // blocks: the skipped ones hold no start of its marker.
  void SecondPass() {
    if (candidates_.empty()) {
      return;
    }
    source_.CheckUnchanged();
    ForEachCandidateRun([this](std::uint64_t from, std::uint64_t to) {
      progress_.total += std::min(end_, to + kCarry) - from;
    });
    ForEachCandidateRun([this](std::uint64_t from, std::uint64_t to) {
      for (std::uint64_t start = from; start < to;) {
        const std::uint64_t stop = std::min(to, start + chunk_);
        const auto wanted = static_cast<std::size_t>(std::min(end_, stop + kCarry) - start);
        if (Read(start, {buffer_.data(), wanted}) != wanted) {
          ThrowScanError(ScanErrc::kFileShrank, source_.name());
        }
        ScanRuleRange(Bytes(buffer_.data(), wanted), kSecondRule, 0,
                      static_cast<std::size_t>(stop - start), start, second_found_, emit_);
        start = stop;
      }
    });
    source_.CheckUnchanged();
  }

  // Calls `use(from, to)` for each run of consecutive candidate blocks, as
  // the stream offsets of its starts.
  template <typename Use>
  void ForEachCandidateRun(Use use) const {
    for (std::size_t block = 0; block < candidates_.size();) {
      if (!candidates_[block]) {
        ++block;
        continue;
      }
      std::size_t last = block;
      while (last + 1 < candidates_.size() && candidates_[last + 1]) {
        ++last;
      }
      use(block * std::uint64_t{block_}, std::min(end_, (last + 1) * std::uint64_t{block_}));
      block = last + 1;
    }
  }

  std::size_t Read(std::uint64_t offset, std::span<unsigned char> into) {
    if (control_.stop.stop_requested()) {
      ThrowErrno(ECANCELED, source_.name());
    }
    const std::size_t got = source_.Read(offset, into);
    progress_.done += got;
    if (control_.on_progress) {
      control_.on_progress(progress_);
    }
    return got;
  }

  ScanSource& source_;
  const FindingCallback& on_finding_;
  const ScanControl& control_;
  const std::size_t chunk_;
  const std::size_t block_;
  const ChunkBuffer buffer_;
  // In report order, whether the second rule waits for a second pass (else
  // its positions are held).
  const bool read_again_;
  std::optional<HeldPositions> held_;

  bool first_found_ = false;
  bool second_found_ = false;
  std::uint64_t end_ = 0;         // the input's size, once read to its end
  std::vector<bool> candidates_;  // by block: may the second marker start in it?
  ScanProgress progress_;
  FindingCounts counts_{};

  const FindingCallback emit_ = [this](const ScanFinding& f) {
    ++counts_[f.rule == &kFirstRule ? 0 : 1];
    on_finding_(f);
  };
  const FindingCallback hold_ = [this](const ScanFinding& f) {
    ++counts_[1];
    held_->Add(f.position);
  };
};

}  // namespace

FindingCounts ScanInput(ScanSource& source, FindingOrder order, const FindingCallback& on_finding,
                        const ScanControl& control, const ScanSizes& sizes) {
  return TranslatingOutOfMemory(
      source.name(), [&] { return StreamedScan(source, order, on_finding, control, sizes).Run(); });
}

}  // namespace telltale
