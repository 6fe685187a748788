// SPDX-License-Identifier: Apache-2.0
// The scan of one input, streamed in chunks: any size in bounded memory.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>

#include "telltale/scan_content.h"
#include "telltale/scan_source.h"
#include "telltale/sizes.h"

namespace telltale {

enum class FindingOrder {
  kReport,   // as the window reports them: every first-rule finding, then the second rule's
  kAsFound,  // each rule's findings in position order, the two rules interleaved
};

// Findings per rule, in table order.
using FindingCounts = std::array<std::uint64_t, kSignatureTable.size()>;

struct ScanProgress {
  std::uint64_t done = 0;   // bytes read so far
  std::uint64_t total = 0;  // bytes to read in all, as far as known; 0 for a stream
};

struct ScanControl {
  // A stop requested here ends the scan before its next read with a
  // std::system_error (ECANCELED), "Operation canceled".
  std::stop_token stop;
  // Called on the scanning thread after every read.
  std::function<void(const ScanProgress&)> on_progress;
  // Called with every byte of the input once, in order, one call at a time,
  // before the findings in those bytes are handed on: what a digest of the
  // bytes scanned needs. Bytes read a second time are not passed again.
  std::function<void(std::span<const unsigned char>)> on_data;
  // Called once every byte has been passed to on_data, before the findings
  // held back until the input's end, if any, are handed on; not called when
  // the scan fails.
  std::function<void()> on_end;
  // Whether on_data costs more than reading and scanning its bytes, as a
  // digest does. A file's chunks are then handed on, on_data first, by the
  // calling thread alone while `workers` other threads read and scan the
  // next ones, kChunksAheadPerWorker each ahead of it. A stream is read by
  // the calling thread either way.
  bool on_data_is_slow = false;
};

struct ScanSizes {
  std::size_t chunk = kChunkSize;
  std::size_t block = kCandidateBlockSize;
  std::size_t held_in_memory = kHeldPositionBytes;
  std::size_t workers = kReadWorkers;
};

// Hands every finding of `source` to `on_finding` in `order`, one call at a
// time, though not always on the calling thread.
//
// Every read goes into a 64-byte aligned buffer. A source that can be read
// again is read twice: the first pass, shared among `workers` threads that
// each read and scan whole chunks (with the few bytes after them), reports
// the first rule and notes which blocks may hold the second rule's marker;
// the second pass reads only those blocks again and reports the second rule.
// Both orders are then the same. A stream is read once, by the calling
// thread, each chunk's last bytes carried before the next; in report order
// it holds the second rule's positions until its end. Failures are
// std::system_error naming the source.
FindingCounts ScanInput(ScanSource& source, FindingOrder order, const FindingCallback& on_finding,
                        const ScanControl& control = {}, const ScanSizes& sizes = {});

}  // namespace telltale
