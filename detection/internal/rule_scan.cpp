// SPDX-License-Identifier: Apache-2.0
#include "internal/rule_scan.h"

#include <algorithm>

#include "internal/find_kernel.h"

namespace telltale {
namespace {

// Ignoring case accepts a superset of exact: the comparison that accepts
// whatever either of the rule's comparisons accepts.
Comparison LoosestComparison(const SignatureRule& rule) {
  return rule.first_search == Comparison::kIgnoreCase ||
                 rule.later_searches == Comparison::kIgnoreCase
             ? Comparison::kIgnoreCase
             : Comparison::kExact;
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
  for (std::size_t p = begin; p < stop; ++p) {  // the next search starts one byte on
    p = find(buffer.data(), p, stop, found_any ? later : first, nullptr, nullptr);
    if (p == stop) {
      return;
    }
    found_any = true;
    on_finding(ScanFinding{&rule, base + p + 1});
  }
}

bool ScanFirstRuleRange(Bytes buffer, std::size_t begin, std::size_t stop, std::uint64_t base,
                        bool& found_any, const FindingCallback& on_finding) {
  const SignatureRule& reported = kSignatureTable[0];
  const SignatureRule& watched_rule = kSignatureTable[1];
  const MarkerPattern patterns[2] = {MakeMarkerPattern(reported.marker, reported.first_search),
                                     MakeMarkerPattern(reported.marker, reported.later_searches)};
  const Comparison loosest = LoosestComparison(watched_rule);
  const MarkerPattern watch = MakeMarkerPattern(watched_rule.marker, loosest);
  const simd::FindKernel find = simd::BestKernel();

  // The kernel needs both markers to fit; the few starts after that are
  // searched rule by rule.
  const std::size_t longest = std::max(reported.marker.size(), watched_rule.marker.size());
  const std::size_t both_fit = buffer.size() >= longest ? buffer.size() - longest + 1 : 0;
  const std::size_t fused_stop = std::max(begin, std::min(stop, both_fit));
  bool watched = false;
  for (std::size_t p = begin; p < fused_stop; ++p) {
    p = find(buffer.data(), p, fused_stop, patterns[found_any ? 1 : 0], &watch, &watched);
    if (p == fused_stop) {
      break;
    }
    found_any = true;
    on_finding(ScanFinding{&reported, base + p + 1});
  }
  if (fused_stop < stop) {
    ScanRuleRange(buffer, reported, fused_stop, stop, base, found_any, on_finding);
    watched = watched ||
              FindMarkerBefore(buffer, watched_rule.marker, fused_stop, stop, loosest) != kNotFound;
  }
  return watched;
}

}  // namespace telltale
