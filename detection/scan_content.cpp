#include "detection/scan_content.h"

#include <vector>

#include "detection/rule_scan.h"

namespace telltale {
namespace {

// The content is scanned in blocks that stay in the processor's cache: the
// first rule is searched and reported block by block, and each block is
// checked at once for any candidate of the later rules. Those rules then
// revisit only the blocks that had one, so the content is read from memory
// once however many rules there are.
constexpr std::size_t kBlockSize = std::size_t{64} << 10;

}  // namespace

void ScanRuleRange(Bytes buffer, const SignatureRule& rule, std::size_t begin, std::size_t stop,
                   std::uint64_t base, bool& found_any, const FindingCallback& on_finding) {
  std::size_t p = begin;
  while (p < stop) {
    const Comparison comparison = found_any ? rule.later_searches : rule.first_search;
    p = FindMarkerBefore(buffer, rule.marker, p, stop, comparison);
    if (p == kNotFound) {
      return;
    }
    found_any = true;
    on_finding(ScanFinding{&rule, base + p + 1});
    // The next search starts one byte after this occurrence's first byte.
    ++p;
  }
}

Comparison LoosestComparison(const SignatureRule& rule) {
  return rule.first_search == Comparison::kIgnoreCase ||
                 rule.later_searches == Comparison::kIgnoreCase
             ? Comparison::kIgnoreCase
             : Comparison::kExact;
}

void ScanContent(Bytes content, const FindingCallback& on_finding) {
  const std::size_t size = content.size();
  const SignatureRule& first_rule = kSignatureTable.front();
  bool first_found = false;
  // Per later rule, the starts of the blocks that hold a candidate.
  std::vector<std::vector<std::size_t>> candidate_blocks(kSignatureTable.size());

  for (std::size_t block = 0; block < size; block += kBlockSize) {
    const std::size_t stop = size - block > kBlockSize ? block + kBlockSize : size;
    ScanRuleRange(content, first_rule, block, stop, 0, first_found, on_finding);
    for (std::size_t r = 1; r < kSignatureTable.size(); ++r) {
      const SignatureRule& rule = kSignatureTable[r];
      if (FindMarkerBefore(content, rule.marker, block, stop, LoosestComparison(rule)) !=
          kNotFound) {
        candidate_blocks[r].push_back(block);
      }
    }
  }
  for (std::size_t r = 1; r < kSignatureTable.size(); ++r) {
    bool found = false;
    for (const std::size_t block : candidate_blocks[r]) {
      const std::size_t stop = size - block > kBlockSize ? block + kBlockSize : size;
      ScanRuleRange(content, kSignatureTable[r], block, stop, 0, found, on_finding);
    }
  }
}

std::vector<ScanFinding> ScanContent(Bytes content) {
  std::vector<ScanFinding> findings;
  ScanContent(content, [&findings](const ScanFinding& f) { findings.push_back(f); });
  return findings;
}

void ScanContentReference(Bytes content, const FindingCallback& on_finding) {
  for (const SignatureRule& rule : kSignatureTable) {
    std::size_t p = FindMarkerReference(content, rule.marker, 0, rule.first_search);
    while (p != kNotFound) {
      on_finding(ScanFinding{&rule, p + 1});
      p = FindMarkerReference(content, rule.marker, p + 1, rule.later_searches);
    }
  }
}

}  // namespace telltale
