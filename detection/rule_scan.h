// One rule's search loop over part of a buffer. Private to the detection
// library: shared by the whole-content scan and the chunked scan.
#pragma once

#include <cstdint>

#include "detection/scan_content.h"

namespace telltale {

// Emits, in position order, the findings of `rule` that start in
// [begin, stop) of `buffer`, whose first byte is at stream offset `base`.
// `found_any` says whether the rule has found anything before (its later
// searches then apply) and is updated.
void ScanRuleRange(Bytes buffer, const SignatureRule& rule, std::size_t begin, std::size_t stop,
                   std::uint64_t base, bool& found_any, const FindingCallback& on_finding);

// The comparison that accepts everything either of the rule's comparisons
// accepts: ignoring case accepts a superset of exact.
Comparison LoosestComparison(const SignatureRule& rule);

}  // namespace telltale
