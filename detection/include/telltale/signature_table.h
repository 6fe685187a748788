// SPDX-License-Identifier: Apache-2.0
// The two tool markers Telltale looks for, and how each is compared.
#pragma once

#include <algorithm>
#include <array>
#include <string_view>

namespace telltale {

enum class Comparison {
  kExact,       // byte for byte
  kIgnoreCase,  // ASCII letters match their other-case form; other bytes exactly
};

struct SignatureRule {
  std::string_view tool;       // short name, as scripts see it: "JPHide"
  std::string_view marker;     // raw bytes, non-empty, at most kMaxMarkerLength long
  Comparison first_search;     // the comparison until the first occurrence is found
  Comparison later_searches;   // the comparison for every search after that
  std::string_view tool_line;  // the last line of every report for this rule
};

inline constexpr std::size_t kMaxMarkerLength = 3;

// Rules are applied in this order: every JPHide finding is reported before any
// Hiderman finding. Hiderman's first search ignores case, its later ones do not.
inline constexpr std::array<SignatureRule, 2> kSignatureTable{{
    {"JPHide", "\xFF\xDB", Comparison::kExact, Comparison::kExact, "JPHide program detected!"},
    {"Hiderman", "CDN", Comparison::kIgnoreCase, Comparison::kExact, "Hiderman program detected!"},
}};

constexpr bool MarkersFitTheSearch() {
  return std::ranges::all_of(kSignatureTable, [](const SignatureRule& rule) {
    return !rule.marker.empty() && rule.marker.size() <= kMaxMarkerLength;
  });
}
static_assert(MarkersFitTheSearch(), "every marker must be 1 to kMaxMarkerLength bytes");

}  // namespace telltale
