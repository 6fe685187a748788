// SPDX-License-Identifier: Apache-2.0
// Every size that bounds the scan's memory or shapes its reads, in one
// place; the scanner's output sizes are in cli/output_sizes.h.
#pragma once

#include <cstddef>

namespace telltale {

// Reading and scanning one input.

// Bytes read at a time: small enough that a chunk just read is still in the
// core's cache when it is scanned.
inline constexpr std::size_t kChunkSize = std::size_t{256} << 10;

// Threads that read and scan one file's chunks at the same time, each its
// own chunks into its own buffer, so that copying from the page cache, which
// costs more than the scan, does not hold up the scan. Two was measured to
// help; more would take cores from the scanner's parallel jobs.
inline constexpr std::size_t kReadWorkers = 2;

// With a consumer of the bytes slower than reading and scanning them (a
// digest), the chunks each reading thread may have read and scanned ahead of
// it: enough that the consumer does not wait for a read, few enough to stay
// in the cache until it takes them.
inline constexpr std::size_t kChunksAheadPerWorker = 2;

// The unit in which the first pass notes where the second marker may lie; the
// second pass reads again only such blocks. Smaller blocks mean less to read
// again and a larger note: one bit per block, 128 KiB for a 16 GiB file.
inline constexpr std::size_t kCandidateBlockSize = std::size_t{16} << 10;

// Later-rule positions of an input that cannot be read twice (a pipe) are held
// until its end, delta-encoded; this much stays in memory, the rest goes to an
// unnamed temporary file.
inline constexpr std::size_t kHeldPositionBytes = std::size_t{512} << 10;

}  // namespace telltale
