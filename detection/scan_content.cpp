// SPDX-License-Identifier: Apache-2.0
#include "telltale/scan_content.h"

#include <algorithm>
#include <vector>

#include "internal/rule_scan.h"
#include "telltale/sizes.h"

namespace telltale {

void ScanContent(Bytes content, const FindingCallback& on_finding) {
  // Blocks that stay in the processor's cache. One pass reports the first
  // rule and, in the same loads, notes which blocks may hold the second
  // marker; the second rule then revisits only those blocks. So the content
  // is read from memory once, and a block with nothing of the second marker
  // is never looked at again.
  const std::size_t size = content.size();
  const auto block_end = [size](std::size_t block) {
    return size - block > kCandidateBlockSize ? block + kCandidateBlockSize : size;
  };
  bool first_found = false;
  std::vector<std::size_t> candidate_blocks;
  for (std::size_t block = 0; block < size; block += kCandidateBlockSize) {
    if (ScanFirstRuleRange(content, block, block_end(block), 0, first_found, on_finding)) {
      candidate_blocks.push_back(block);
    }
  }
  bool second_found = false;
  for (const std::size_t block : candidate_blocks) {
    ScanRuleRange(content, kSignatureTable[1], block, block_end(block), 0, second_found,
                  on_finding);
  }
}

std::vector<ScanFinding> ScanContent(Bytes content) {
  std::vector<ScanFinding> findings;
  ScanContent(content, [&findings](const ScanFinding& f) { findings.push_back(f); });
  return findings;
}

}  // namespace telltale
