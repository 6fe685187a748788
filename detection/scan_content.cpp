#include "detection/scan_content.h"

#include <algorithm>
#include <vector>

#include "detection/marker_pattern.h"
#include "detection/rule_scan.h"

namespace telltale {
namespace {

// The content is scanned in blocks that stay in the processor's cache. One
// pass reports the first rule and, in the same loads, notes which blocks hold
// a candidate for the second rule; that rule then revisits only those blocks.
// So the content is read from memory once, and a block with nothing of the
// second marker is never looked at again.
constexpr std::size_t kBlockSize = std::size_t{64} << 10;

static_assert(kSignatureTable.size() == 2,
              "the scan reports the first rule while watching for the second");

std::size_t BlockEnd(std::size_t block, std::size_t size) {
  return size - block > kBlockSize ? block + kBlockSize : size;
}

}  // namespace

void ScanRuleRange(Bytes buffer, const SignatureRule& rule, std::size_t begin, std::size_t stop,
                   std::uint64_t base, bool& found_any, const FindingCallback& on_finding) {
  const std::size_t length = rule.marker.size();
  if (buffer.size() < length) {
    return;
  }
  stop = std::min(stop, buffer.size() - length + 1);
  const MarkerPattern first = MakeMarkerPattern(rule.marker, rule.first_search);
  const MarkerPattern later = MakeMarkerPattern(rule.marker, rule.later_searches);
  const simd::FindKernel find = simd::BestKernel();
  std::size_t p = begin;
  while (p < stop) {
    p = find(buffer.data(), p, stop, found_any ? later : first, nullptr, nullptr);
    if (p == stop) {
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
  const SignatureRule& reported = kSignatureTable[0];
  const SignatureRule& watched_rule = kSignatureTable[1];
  const MarkerPattern reported_patterns[2] = {
      MakeMarkerPattern(reported.marker, reported.first_search),
      MakeMarkerPattern(reported.marker, reported.later_searches)};
  const MarkerPattern watch =
      MakeMarkerPattern(watched_rule.marker, LoosestComparison(watched_rule));
  const simd::FindKernel find = simd::BestKernel();

  const std::size_t size = content.size();
  const std::size_t longest = std::max(reported.marker.size(), watched_rule.marker.size());
  // Starts at which both markers fit; the few after them are checked apart.
  const std::size_t both_fit = size >= longest ? size - longest + 1 : 0;

  bool reported_any = false;
  std::vector<std::size_t> candidate_blocks;
  for (std::size_t block = 0; block < size; block += kBlockSize) {
    const std::size_t stop = BlockEnd(block, size);
    const std::size_t fused_stop = std::max(block, std::min(stop, both_fit));
    bool watched = false;
    for (std::size_t p = block; p < fused_stop; ++p) {
      p = find(content.data(), p, fused_stop, reported_patterns[reported_any ? 1 : 0], &watch,
               &watched);
      if (p == fused_stop) {
        break;
      }
      reported_any = true;
      on_finding(ScanFinding{&reported, p + 1});
    }
    if (fused_stop < stop) {
      ScanRuleRange(content, reported, fused_stop, stop, 0, reported_any, on_finding);
      watched = watched || FindMarkerBefore(content, watched_rule.marker, fused_stop, stop,
                                            LoosestComparison(watched_rule)) != kNotFound;
    }
    if (watched) {
      candidate_blocks.push_back(block);
    }
  }

  bool watched_found = false;
  for (const std::size_t block : candidate_blocks) {
    ScanRuleRange(content, watched_rule, block, BlockEnd(block, size), 0, watched_found,
                  on_finding);
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
