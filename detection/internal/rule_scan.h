// SPDX-License-Identifier: Apache-2.0
// The rules' search loops over part of a buffer. Private to the detection
// library: shared by the whole-content scan and the streamed scan.
#pragma once

#include <cstdint>

#include "telltale/scan_content.h"

namespace telltale {

static_assert(kSignatureTable.size() == 2,
              "the scan reports the first rule while watching for the second");

// Emits, in position order, the findings of `rule` that start in
// [begin, stop) of `buffer`, whose first byte is at stream offset `base`.
// `found_any` says whether the rule has found anything before (its later
// searches then apply) and is updated.
void ScanRuleRange(Bytes buffer, const SignatureRule& rule, std::size_t begin, std::size_t stop,
                   std::uint64_t base, bool& found_any, const FindingCallback& on_finding);

// The same for the first rule of the table, while watching for the second
// rule's marker in the same loads. Returns true when the second marker, under
// either of its comparisons, may start in [begin, stop): never false when it
// does.
bool ScanFirstRuleRange(Bytes buffer, std::size_t begin, std::size_t stop, std::uint64_t base,
                        bool& found_any, const FindingCallback& on_finding);

}  // namespace telltale
