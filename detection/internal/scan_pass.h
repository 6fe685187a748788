// SPDX-License-Identifier: Apache-2.0
// What a file's scan and a stream's share: the source, the caller's control,
// the progress, the counts and the checks made before each read. Private to
// the detection library.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <span>

#include "telltale/scan_error.h"
#include "telltale/scan_input.h"

namespace telltale {

inline constexpr const SignatureRule& kFirstRule = kSignatureTable[0];
inline constexpr const SignatureRule& kSecondRule = kSignatureTable[1];

// Bytes a marker may run past the last start scanned in a buffer: read with
// each chunk of a file, carried from chunk to chunk of a stream.
inline constexpr std::size_t kCarry = kMaxMarkerLength - 1;

class ScanPass {
 public:
  ScanPass(ScanSource& source, const FindingCallback& on_finding, const ScanControl& control,
           std::size_t block)
      : source_(source), on_finding_(on_finding), control_(control), block_(block) {}
  ScanPass(const ScanPass&) = delete;
  ScanPass& operator=(const ScanPass&) = delete;

  [[nodiscard]] ScanSource& source() const { return source_; }
  [[nodiscard]] std::size_t block() const { return block_; }
  [[nodiscard]] const FindingCounts& counts() const { return counts_; }

  // Counts a finding and hands it on.
  [[nodiscard]] const FindingCallback& report() const { return report_; }
  // Counts a finding that is held back, to be handed on by HandOnHeld.
  void CountHeld(const SignatureRule& rule) { ++counts_.at(IndexOf(rule)); }
  void HandOnHeld(const ScanFinding& finding) const { on_finding_(finding); }

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
  void ReadExactly(std::uint64_t offset, std::span<unsigned char> into) const {
    ThrowIfStopped();
    if (source_.Read(offset, into) != into.size()) {
      ThrowScanError(ScanErrc::kFileShrank, source_.name());
    }
  }

  // Gives every byte read for the first time to the caller, once, in order.
  void PassOn(std::span<const unsigned char> bytes) const {
    if (control_.on_data && !bytes.empty()) {
      control_.on_data(bytes);
    }
  }

  // Whether PassOn costs more than reading and scanning the bytes.
  [[nodiscard]] bool PassesOnSlowly() const { return control_.on_data && control_.on_data_is_slow; }

  // Every byte has been passed on.
  void Ended() const {
    if (control_.on_end) {
      control_.on_end();
    }
  }

  void AddToTotal(std::uint64_t bytes) { progress_.total += bytes; }
  void Progress(std::size_t bytes_read) {
    progress_.done += bytes_read;
    if (control_.on_progress) {
      control_.on_progress(progress_);
    }
  }

 private:
  static std::size_t IndexOf(const SignatureRule& rule) {
    return static_cast<std::size_t>(&rule - kSignatureTable.data());
  }

  ScanSource& source_;
  const FindingCallback& on_finding_;
  const ScanControl& control_;
  const std::size_t block_;
  ScanProgress progress_;
  FindingCounts counts_{};
  const FindingCallback report_ = [this](const ScanFinding& f) {
    ++counts_.at(IndexOf(*f.rule));
    on_finding_(f);
  };
};

// Reads a file of `size` bytes in chunks of `chunk`, shared among `workers`
// threads, and hands on every finding in report order (see ScanInput).
void ScanFile(ScanPass& pass, std::uint64_t size, std::size_t chunk, std::size_t workers);

// Reads a stream once, in chunks of `chunk`; in report order, the second
// rule's positions are held until its end, `held_in_memory` bytes of them in
// memory and the rest in a temporary file.
void ScanStream(ScanPass& pass, FindingOrder order, std::size_t chunk, std::size_t held_in_memory);

}  // namespace telltale
