#include "detection/chunk_scanner.h"

#include <algorithm>
#include <cstring>

#include "detection/rule_scan.h"

namespace telltale {
namespace {

// Bytes kept from one chunk for the next: a marker that starts in them may
// end in the next chunk.
constexpr std::size_t kCarry = kMaxMarkerLength - 1;

}  // namespace

ChunkScanner::ChunkScanner(std::size_t chunk_size)
    : buffer_(kCarry + std::max<std::size_t>(chunk_size, 1)) {}

std::span<unsigned char> ChunkScanner::Buffer() {
  return {buffer_.data() + carried_, buffer_.size() - kCarry};
}

void ChunkScanner::Scan(std::size_t count, const FindingCallback& on_finding) {
  const std::size_t available = carried_ + count;
  const Bytes bytes(buffer_.data(), available);
  const std::uint64_t base = consumed_ - carried_;  // stream offset of buffer_[0]

  for (std::size_t r = 0; r < kSignatureTable.size(); ++r) {
    const SignatureRule& rule = kSignatureTable[r];
    RuleState& state = states_[r];
    const std::size_t length = rule.marker.size();
    // Starts whose whole marker is already in the buffer.
    const std::size_t stop = available >= length ? available - length + 1 : 0;
    const auto begin = static_cast<std::size_t>(state.next_start - base);
    if (begin < stop) {
      ScanRuleRange(bytes, rule, begin, stop, base, state.found_any, on_finding);
      state.next_start = base + stop;
    }
  }

  consumed_ += count;
  const std::size_t keep = std::min(available, kCarry);
  std::memmove(buffer_.data(), buffer_.data() + available - keep, keep);
  carried_ = keep;
}

}  // namespace telltale
