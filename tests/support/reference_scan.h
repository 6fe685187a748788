// SPDX-License-Identifier: Apache-2.0
// The plain definitions of the search and the scan, kept simple on purpose:
// the library's fast search, whole-content scan and streamed scan are checked
// against them.
#pragma once

#include <cstddef>
#include <string_view>

#include "telltale/scan_content.h"

namespace telltale {

// True when the marker occurs at `offset` (0-based) under `comparison`,
// wholly inside `content`.
bool MatchesAt(Bytes content, std::size_t offset, std::string_view marker, Comparison comparison);

// The smallest 0-based offset >= start at which the marker occurs, or
// kNotFound.
std::size_t FindMarkerReference(Bytes content, std::string_view marker, std::size_t start,
                                Comparison comparison);

// Every finding, rule by rule, found with FindMarkerReference only.
void ScanContentReference(Bytes content, const FindingCallback& on_finding);

}  // namespace telltale
