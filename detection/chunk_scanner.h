// The signature scan over a stream read in chunks, for inputs too large to
// hold or of unknown size. Markers split across chunks are found exactly.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "detection/scan_content.h"

namespace telltale {

class ChunkScanner {
 public:
  explicit ChunkScanner(std::size_t chunk_size = std::size_t{1} << 20);

  // Where to put the next chunk: at most chunk_size bytes.
  [[nodiscard]] std::span<unsigned char> Buffer();

  // Scans the `count` bytes just written into Buffer(). Findings come out in
  // position order for each rule, but the rules interleave: a caller that
  // wants report order holds back the later rules' findings until Finish().
  void Scan(std::size_t count, const FindingCallback& on_finding);

  [[nodiscard]] std::uint64_t bytes_scanned() const { return consumed_; }

 private:
  struct RuleState {
    bool found_any = false;
    std::uint64_t next_start = 0;  // 0-based offset of the next start to try
  };

  std::vector<unsigned char> buffer_;  // carried tail, then the new chunk
  std::size_t carried_ = 0;            // bytes of the tail before the chunk
  std::uint64_t consumed_ = 0;         // stream offset just past the chunk
  std::array<RuleState, kSignatureTable.size()> states_{};
};

}  // namespace telltale
