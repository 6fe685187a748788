// SPDX-License-Identifier: Apache-2.0
// A file's scan: two passes, the first shared among threads.
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "internal/chunk_buffer.h"
#include "internal/rule_scan.h"
#include "internal/scan_pass.h"
#include "telltale/turn_order.h"

namespace telltale {
namespace {

static_assert(kCarry <= ChunkBuffer::kHeadroom);

// A file's chunks are scanned apart from each other, so the first rule must
// not depend on what was found before.
static_assert(kFirstRule.first_search == kFirstRule.later_searches);

// The first pass, shared among the workers, reports the first rule and
// notes which blocks may hold the second rule's marker; the second pass
// reads only those blocks again and reports the second rule.
class FileScan {
 public:
  FileScan(ScanPass& pass, std::uint64_t size, std::size_t chunk, std::size_t workers)
      : pass_(pass), end_(size), chunk_(chunk), workers_(workers) {}

  void Run() {
    const std::uint64_t chunks = (end_ + chunk_ - 1) / chunk_;
    if (!pass_.PassesOnSlowly() || chunks < 2 || !PipelinedFirstPass(chunks)) {
      FirstPass();
    }
    pass_.Ended();
    SecondPass();
  }

 private:
  // What one worker found in one chunk, handed on in the chunks' order.
  struct ChunkFindings {
    std::vector<Position> first_rule;
    std::vector<std::uint64_t> candidate_blocks;
  };

  // Each worker reads and scans every stride-th chunk, then waits for its
  // chunk's turn to hand on what it found, so findings come out in position
  // order.
  void FirstPass() {
    const std::uint64_t chunks = (end_ + chunk_ - 1) / chunk_;
    TurnOrder turns;
    std::exception_ptr failure;
    std::size_t active = 0;  // workers that could be started, set before any begins

    const auto work = [&](std::size_t worker) {
      try {
        std::size_t stride = 0;
        {
          std::unique_lock lock(turns.mutex());
          turns.WaitUntil(lock, [&] { return active > 0; });
          stride = active;
        }
        const ChunkBuffer buffer(chunk_ + kCarry);
        ChunkFindings found;
        for (std::uint64_t chunk = worker; chunk < chunks; chunk += stride) {
          const std::uint64_t from = chunk * chunk_;
          const std::uint64_t to = std::min(end_, from + chunk_);
          ReadAndScan(from, to, buffer, found);
          std::unique_lock lock(turns.mutex());
          if (!turns.WaitForTurn(lock, chunk)) {
            return;  // another worker failed
          }
          HandOn(found, {buffer.data(), static_cast<std::size_t>(to - from)});
          turns.Next();
        }
      } catch (...) {
        const std::lock_guard lock(turns.mutex());
        if (!failure) {
          failure = std::current_exception();
        }
        turns.Stop();
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
        const std::lock_guard lock(turns.mutex());
        active = helpers.size() + 1;
        turns.Changed();
      }
      work(0);
    }
    if (failure) {
      std::rethrow_exception(failure);
    }
  }

  // The first pass for a slow on_data: the calling thread hands on every
  // chunk, in order, while the workers read and scan the next ones into a
  // ring of buffers, chunk c into slot c % slots. A worker takes the next
  // chunk only when its slot has been handed on, so the chunks in flight are
  // the ones from the next to be handed on, at most one ring's worth. Returns false,
  // having read nothing, if no worker thread can be started.
  bool PipelinedFirstPass(std::uint64_t chunks) {
    struct Slot {
      explicit Slot(std::size_t capacity) : buffer(capacity) {}
      ChunkBuffer buffer;
      ChunkFindings found;
      std::size_t size = 0;  // the chunk's own bytes, without those after it
      bool ready = false;    // read and scanned, not yet handed on
    };
    std::vector<Slot> slots;
    slots.reserve(workers_ * kChunksAheadPerWorker);
    while (slots.size() < workers_ * kChunksAheadPerWorker) {
      slots.emplace_back(chunk_ + kCarry);
    }
    // Each side waits on its own condition, so that a chunk made ready or
    // handed on wakes only a thread that can go on.
    std::mutex mutex;
    std::condition_variable room;   // a slot has been handed on, or the scan ended
    std::condition_variable ready;  // a chunk is ready, or the scan ended
    std::uint64_t next = 0;         // the next chunk to be read
    std::uint64_t handed = 0;       // chunks handed on
    bool ended = false;
    std::exception_ptr failure;

    const auto fail = [&] {
      const std::lock_guard lock(mutex);
      if (!failure) {
        failure = std::current_exception();
      }
      ended = true;
      room.notify_all();
      ready.notify_all();
    };
    const auto work = [&] {
      try {
        for (;;) {
          std::uint64_t chunk = 0;
          {
            std::unique_lock lock(mutex);
            room.wait(lock,
                      [&] { return ended || next >= chunks || next < handed + slots.size(); });
            if (ended || next >= chunks) {
              return;
            }
            chunk = next++;
          }
          Slot& slot = slots[chunk % slots.size()];
          const std::uint64_t from = chunk * chunk_;
          const std::uint64_t to = std::min(end_, from + chunk_);
          slot.size = static_cast<std::size_t>(to - from);
          ReadAndScan(from, to, slot.buffer, slot.found);
          const std::lock_guard lock(mutex);
          slot.ready = true;
          ready.notify_one();
        }
      } catch (...) {
        fail();
      }
    };

    {
      std::vector<std::jthread> workers;
      workers.reserve(workers_);
      // Whatever fails once a worker runs ends the scan, so that no worker
      // waits for room while it is joined.
      try {
        try {
          while (workers.size() < workers_) {
            workers.emplace_back(work);
          }
        } catch (const std::system_error&) {
          if (workers.empty()) {
            return false;
          }
          // The workers there are read all the chunks.
        }
        for (std::uint64_t chunk = 0; chunk < chunks; ++chunk) {
          Slot& slot = slots[chunk % slots.size()];
          {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return ended || slot.ready; });
            if (ended) {
              break;
            }
          }
          HandOn(slot.found, {slot.buffer.data(), slot.size});
          const std::lock_guard lock(mutex);
          slot.ready = false;
          ++handed;
          room.notify_one();
        }
        // Workers still waiting for room, with no chunk left, return.
        const std::lock_guard lock(mutex);
        ended = true;
        room.notify_all();
      } catch (...) {
        fail();
      }
    }
    if (failure) {
      std::rethrow_exception(failure);
    }
    return true;
  }

  // Reads the chunk [from, to) with the bytes after it, and notes what the
  // first rule finds in it and which of its blocks may hold the second
  // rule's marker.
  void ReadAndScan(std::uint64_t from, std::uint64_t to, const ChunkBuffer& buffer,
                   ChunkFindings& found) const {
    const auto wanted = static_cast<std::size_t>(std::min(end_, to + kCarry) - from);
    pass_.ReadExactly(from, {buffer.data(), wanted});
    found.first_rule.clear();
    found.candidate_blocks.clear();
    const FindingCallback keep = [&](const ScanFinding& f) {
      found.first_rule.push_back(f.position);
    };
    bool first_found = false;  // the first rule compares the same way every time
    pass_.ForEachBlock(from, to, [&](std::uint64_t block, std::uint64_t start, std::uint64_t stop) {
      if (ScanFirstRuleRange(Bytes(buffer.data(), wanted), start - from, stop - from, from,
                             first_found, keep)) {
        found.candidate_blocks.push_back(block);
      }
    });
  }

  void HandOn(const ChunkFindings& found, std::span<const unsigned char> chunk) {
    pass_.PassOn(chunk);
    for (const Position position : found.first_rule) {
      pass_.report()(ScanFinding{&kFirstRule, position});
    }
    for (const std::uint64_t block : found.candidate_blocks) {
      if (candidates_.size() <= block) {
        candidates_.resize(block + 1);
      }
      candidates_[block] = true;
    }
    pass_.Progress(chunk.size());
  }

  // Reads again only the blocks the first pass noted, in order, and reports
  // the second rule's findings in them. The rule's state runs on across the
  // blocks: the skipped ones hold no start of its marker.
  void SecondPass() {
    if (candidates_.empty()) {
      return;
    }
    pass_.source().CheckUnchanged();
    ForEachCandidateRun([this](std::uint64_t from, std::uint64_t to) {
      pass_.AddToTotal(std::min(end_, to + kCarry) - from);
    });
    const ChunkBuffer buffer(chunk_ + kCarry);
    bool second_found = false;
    ForEachCandidateRun([&](std::uint64_t from, std::uint64_t to) {
      for (std::uint64_t start = from; start < to;) {
        const std::uint64_t stop = std::min(to, start + chunk_);
        const auto wanted = static_cast<std::size_t>(std::min(end_, stop + kCarry) - start);
        pass_.ReadExactly(start, {buffer.data(), wanted});
        pass_.Progress(wanted);
        ScanRuleRange(Bytes(buffer.data(), wanted), kSecondRule, 0,
                      static_cast<std::size_t>(stop - start), start, second_found, pass_.report());
        start = stop;
      }
    });
    pass_.source().CheckUnchanged();
  }

  // Calls `use(from, to)` for each run of consecutive candidate blocks, as
  // the file offsets of its starts.
  template <typename Use>
  void ForEachCandidateRun(Use use) const {
    const std::uint64_t block_size = pass_.block();
    for (std::size_t block = 0; block < candidates_.size();) {
      if (!candidates_[block]) {
        ++block;
        continue;
      }
      std::size_t last = block;
      while (last + 1 < candidates_.size() && candidates_[last + 1]) {
        ++last;
      }
      use(block * block_size, std::min(end_, (last + 1) * block_size));
      block = last + 1;
    }
  }

  ScanPass& pass_;
  const std::uint64_t end_;
  const std::size_t chunk_;
  const std::size_t workers_;
  std::vector<bool> candidates_;  // by block: may the second marker start in it?
};

}  // namespace

void ScanFile(ScanPass& pass, std::uint64_t size, std::size_t chunk, std::size_t workers) {
  FileScan(pass, size, chunk, workers).Run();
}

}  // namespace telltale
