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

ChunkScanner::ChunkScanner(std::size_t chunk_size, std::size_t slots)
    : slot_size_(kCarry + std::max<std::size_t>(chunk_size, 1)),
      buffer_(slot_size_ * std::max<std::size_t>(slots, 1)) {}

std::span<unsigned char> ChunkScanner::Buffer(std::size_t slot) {
  return {buffer_.data() + slot * slot_size_ + kCarry, slot_size_ - kCarry};
}

void ChunkScanner::Scan(std::size_t count, const FindingCallback& on_finding, std::size_t slot) {
  // The tail of the previous chunk goes just before this one, in room kept
  // for it, so that a marker split between them is seen whole.
  unsigned char* const start = buffer_.data() + slot * slot_size_ + kCarry - carried_;
  std::memcpy(start, tail_.data(), carried_);
  const std::size_t available = carried_ + count;
  const Bytes bytes(start, available);
  const std::uint64_t base = consumed_ - carried_;  // stream offset of start[0]

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
  carried_ = std::min(available, kCarry);
  std::memcpy(tail_.data(), start + available - carried_, carried_);
}

}  // namespace telltale
