// SPDX-License-Identifier: Apache-2.0
// The signature scan: every occurrence of every marker, in report order.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "telltale/marker_search.h"
#include "telltale/signature_table.h"

namespace telltale {

// 1-based, as the reports show it; 64-bit so files past 4 GiB report true
// positions.
using Position = std::uint64_t;

struct ScanFinding {
  const SignatureRule* rule;
  Position position;

  friend bool operator==(const ScanFinding&, const ScanFinding&) = default;
};

using FindingCallback = std::function<void(const ScanFinding&)>;

// Hands every finding in a buffer to `on_finding` as it is found: all
// findings of the first rule in position order, then those of the second.
// Holds no list of findings, so any number of them costs no memory. Inputs
// read from files go through ScanInput (scan_input.h) instead.
void ScanContent(Bytes content, const FindingCallback& on_finding);

// Convenience for small contents and tests.
std::vector<ScanFinding> ScanContent(Bytes content);

}  // namespace telltale
