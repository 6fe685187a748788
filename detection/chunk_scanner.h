// The signature scan over a stream read in chunks, for inputs too large to
// hold or of unknown size. Markers split across chunks are found exactly.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "detection/scan_content.h"

namespace telltale {

// With two slots, one can be filled with the next chunk while the other is
// scanned: chunks are scanned in the order given, whichever slot holds them.
class ChunkScanner {
 public:
  explicit ChunkScanner(std::size_t chunk_size = std::size_t{1} << 20, std::size_t slots = 1);

  // Where to put a chunk: at most chunk_size bytes. Writing into a slot
  // never disturbs what another slot holds.
  [[nodiscard]] std::span<unsigned char> Buffer(std::size_t slot = 0);

  // Scans the `count` bytes just written into Buffer(slot) as the next chunk
  // of the stream. Findings come out in position order for each rule, but
  // the rules interleave: a caller that wants report order holds back the
  // later rules' findings until the stream's end.
  void Scan(std::size_t count, const FindingCallback& on_finding, std::size_t slot = 0);

  [[nodiscard]] std::uint64_t bytes_scanned() const { return consumed_; }

 private:
  struct RuleState {
    bool found_any = false;
    std::uint64_t next_start = 0;  // 0-based offset of the next start to try
  };

  std::size_t slot_size_;                                   // room for a carried tail, then a chunk
  std::vector<unsigned char> buffer_;                       // the slots, one after the other
  std::array<unsigned char, kMaxMarkerLength - 1> tail_{};  // end of the last chunk
  std::size_t carried_ = 0;                                 // bytes of tail_ in use
  std::uint64_t consumed_ = 0;                              // stream offset just past the chunk
  std::array<RuleState, kSignatureTable.size()> states_{};
};

}  // namespace telltale
