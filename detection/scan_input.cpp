#include "detection/scan_input.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "detection/internal/chunk_buffer.h"
#include "detection/internal/held_positions.h"
#include "detection/internal/rule_scan.h"
#include "detection/scan_error.h"

namespace telltale {
namespace {

const SignatureRule& kFirstRule = kSignatureTable[0];
const SignatureRule& kSecondRule = kSignatureTable[1];

// Bytes a marker may run past the last start scanned in a buffer: read with
// each chunk of a file, carried from chunk to chunk of a stream.
constexpr std::size_t kCarry = kMaxMarkerLength - 1;
static_assert(kCarry <= ChunkBuffer::kHeadroom);

// A file's chunks are scanned apart from each other, so the first rule must
// not depend on what was found before.
static_assert(kFirstRule.first_search == kFirstRule.later_searches);

class StreamedScan {
 public:
  StreamedScan(ScanSource& source, FindingOrder order, const FindingCallback& on_finding,
               const ScanControl& control, const ScanSizes& sizes)
      : source_(source),
        order_(order),
        on_finding_(on_finding),
        control_(control),
        block_(std::max<std::size_t>(sizes.block, 1)),
        held_in_memory_(sizes.held_in_memory) {
    chunk_ = std::max<std::size_t>(sizes.chunk, 1);
    workers_ = std::max<std::size_t>(sizes.workers, 1);
    if (const std::optional<std::uint64_t> size = source.size(); size && source.CanReadAgain()) {
      // A small file needs no more buffer, nor more threads, than itself.
      chunk_ = static_cast<std::size_t>(std::clamp<std::uint64_t>(*size, 1, chunk_));
      const std::uint64_t chunks = (*size + chunk_ - 1) / chunk_;
      workers_ = static_cast<std::size_t>(std::clamp<std::uint64_t>(chunks, 1, workers_));
      progress_.total = *size;
    }
  }

  FindingCounts Run() {
    if (source_.CanReadAgain() && source_.size()) {
      end_ = *source_.size();
      FirstPassOverFile();
      SecondPass();
    } else {
      FirstPassOverStream();
    }
    return counts_;
  }

 private:
  // What one worker found in one chunk, handed on in the chunks' order.
  struct ChunkFindings {
    std::vector<Position> first_rule;
    std::vector<std::uint64_t> candidate_blocks;
  };

  // Each worker reads and scans every workers_-th chunk, then waits for its
  // turn to hand on what it found, so findings come out in position order.
  void FirstPassOverFile() {
    const std::uint64_t chunks = (end_ + chunk_ - 1) / chunk_;
    std::mutex mutex;
    std::condition_variable turn_changed;
    std::uint64_t turn = 0;  // the chunk whose findings go out next
    std::exception_ptr failure;
    std::size_t active = 0;  // workers that could be started, set before any begins

    const auto work = [&](std::size_t worker) {
      try {
        std::size_t stride = 0;
        {
          std::unique_lock lock(mutex);
          turn_changed.wait(lock, [&] { return active > 0; });
          stride = active;
        }
        const ChunkBuffer buffer(chunk_ + kCarry);
        ChunkFindings found;
        const FindingCallback keep = [&](const ScanFinding& f) {
          found.first_rule.push_back(f.position);
        };
        for (std::uint64_t chunk = worker; chunk < chunks; chunk += stride) {
          const std::uint64_t from = chunk * chunk_;
          const std::uint64_t to = std::min(end_, from + chunk_);
          const auto wanted = static_cast<std::size_t>(std::min(end_, to + kCarry) - from);
          ReadExactly(from, {buffer.data(), wanted});
          found.first_rule.clear();
          found.candidate_blocks.clear();
          bool first_found = false;  // the first rule compares the same way every time
          ForEachBlock(from, to, [&](std::uint64_t block, std::uint64_t start, std::uint64_t stop) {
            if (ScanFirstRuleRange(Bytes(buffer.data(), wanted), start - from, stop - from, from,
                                   first_found, keep)) {
              found.candidate_blocks.push_back(block);
            }
          });
          std::unique_lock lock(mutex);
          turn_changed.wait(lock, [&] { return turn == chunk || failure; });
          if (failure) {
            return;
          }
          HandOn(found, {buffer.data(), static_cast<std::size_t>(to - from)});
          ++turn;
          turn_changed.notify_all();
        }
      } catch (...) {
        const std::lock_guard lock(mutex);
        if (!failure) {
          failure = std::current_exception();
        }
        turn_changed.notify_all();
      }
    };

    {
      std::vector<std::jthread> helpers;
      try {
        while (helpers.size() + 1 < workers_) {
          helpers.emplace_back(work, helpers.size() + 1);
        }
      } catch (const std::system_error&) {
        // No thread to be had: the workers there are do all the chunks.
      }
      {
        const std::lock_guard lock(mutex);
        active = helpers.size() + 1;
      }
      turn_changed.notify_all();
      work(0);
    }
    if (failure) {
      std::rethrow_exception(failure);
    }
  }

  void HandOn(const ChunkFindings& found, std::span<const unsigned char> chunk) {
    PassOn(chunk);
    for (const Position position : found.first_rule) {
      emit_(ScanFinding{&kFirstRule, position});
    }
    for (const std::uint64_t block : found.candidate_blocks) {
      if (candidates_.size() <= block) {
        candidates_.resize(block + 1);
      }
      candidates_[block] = true;
    }
    Progress(chunk.size());
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
    const ChunkBuffer buffer(chunk_ + kCarry);
    bool second_found = false;
    ForEachCandidateRun([&](std::uint64_t from, std::uint64_t to) {
      for (std::uint64_t start = from; start < to;) {
        const std::uint64_t stop = std::min(to, start + chunk_);
        const auto wanted = static_cast<std::size_t>(std::min(end_, stop + kCarry) - start);
        ReadExactly(start, {buffer.data(), wanted});
        Progress(wanted);
        ScanRuleRange(Bytes(buffer.data(), wanted), kSecondRule, 0,
                      static_cast<std::size_t>(stop - start), start, second_found, emit_);
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

  // Reads a stream to its end once, each chunk after the last bytes of the
  // one before. The second rule is scanned along, its findings held back in
  // report order.
  void FirstPassOverStream() {
    std::optional<HeldPositions> held;
    if (order_ == FindingOrder::kReport) {
      held.emplace(source_.name(), held_in_memory_);
    }
    const FindingCallback hold = [&](const ScanFinding& f) {
      ++counts_[1];
      held->Add(f.position);
    };
    const ChunkBuffer buffer(chunk_ + kCarry);
    unsigned char* const data = buffer.data();
    std::uint64_t offset = 0;  // stream offset of data[0]
    std::size_t carried = 0;   // bytes just before data[0], from the chunk before
    std::uint64_t next_start = 0;
    bool first_found = false;
    bool second_found = false;
    for (bool end = false; !end;) {
      ThrowIfStopped();
      const std::size_t got = source_.Read(offset, {data, chunk_});
      PassOn({data, got});
      Progress(got);
      end = got < chunk_;
      const Bytes view(data - carried, carried + got);
      const std::uint64_t base = offset - carried;
      const std::uint64_t view_end = offset + got;
      // Starts whose marker may run into the next chunk wait for it.
      const std::uint64_t stop =
          end ? view_end
              : std::max(next_start, view_end - std::min<std::uint64_t>(view.size(), kCarry));
      ForEachBlock(next_start, stop, [&](std::uint64_t, std::uint64_t start, std::uint64_t until) {
        const auto from = static_cast<std::size_t>(start - base);
        const auto to = static_cast<std::size_t>(until - base);
        if (ScanFirstRuleRange(view, from, to, base, first_found, emit_)) {
          ScanRuleRange(view, kSecondRule, from, to, base, second_found, held ? hold : emit_);
        }
      });
      next_start = std::max(next_start, stop);
      carried = std::min(view.size(), kCarry);
      std::memmove(data - carried, view.data() + view.size() - carried, carried);
      offset = view_end;
    }
    if (held) {
      held->Replay([this](Position p) { on_finding_(ScanFinding{&kSecondRule, p}); });
    }
  }

  // Calls `use(block, start, stop)` for the starts [begin, stop) cut at the
  // candidate blocks' edges.
  template <typename Use>
  void ForEachBlock(std::uint64_t begin, std::uint64_t stop, Use use) const {
    for (std::uint64_t start = begin; start < stop;) {
      const std::uint64_t block = start / block_;
      const std::uint64_t block_stop = std::min(stop, (block + 1) * block_);
      use(block, start, block_stop);
      start = block_stop;
    }
  }

  void ThrowIfStopped() const {
    if (control_.stop.stop_requested()) {
      ThrowErrno(ECANCELED, source_.name());
    }
  }

  // Reads all of `into` from a file, which is known to hold it.
  void ReadExactly(std::uint64_t offset, std::span<unsigned char> into) {
    ThrowIfStopped();
    if (source_.Read(offset, into) != into.size()) {
      ThrowScanError(ScanErrc::kFileShrank, source_.name());
    }
  }

  void PassOn(std::span<const unsigned char> bytes) const {
    if (control_.on_data && !bytes.empty()) {
      control_.on_data(bytes);
    }
  }

  void Progress(std::size_t bytes_read) {
    progress_.done += bytes_read;
    if (control_.on_progress) {
      control_.on_progress(progress_);
    }
  }

  ScanSource& source_;
  const FindingOrder order_;
  const FindingCallback& on_finding_;
  const ScanControl& control_;
  std::size_t chunk_;
  std::size_t workers_;
  const std::size_t block_;
  const std::size_t held_in_memory_;

  std::uint64_t end_ = 0;         // a file's size
  std::vector<bool> candidates_;  // by block: may the second marker start in it?
  ScanProgress progress_;
  FindingCounts counts_{};

  const FindingCallback emit_ = [this](const ScanFinding& f) {
    ++counts_[f.rule == &kFirstRule ? 0 : 1];
    on_finding_(f);
  };
};

}  // namespace

FindingCounts ScanInput(ScanSource& source, FindingOrder order, const FindingCallback& on_finding,
                        const ScanControl& control, const ScanSizes& sizes) {
  return TranslatingOutOfMemory(
      source.name(), [&] { return StreamedScan(source, order, on_finding, control, sizes).Run(); });
}

}  // namespace telltale
