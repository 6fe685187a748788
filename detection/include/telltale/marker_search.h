// SPDX-License-Identifier: Apache-2.0
// The search primitive: where does a marker next occur in a byte buffer?
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "telltale/signature_table.h"

namespace telltale {

using Bytes = std::span<const unsigned char>;

inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// The smallest 0-based offset >= start at which `marker` (1 to
// kMaxMarkerLength bytes) occurs wholly inside `content` under `comparison`,
// or kNotFound. Compares 16 or 32 bytes at a time.
std::size_t FindMarker(Bytes content, std::string_view marker, std::size_t start,
                       Comparison comparison);

// As FindMarker, but only occurrences that start before `stop` (they may end
// past it).
std::size_t FindMarkerBefore(Bytes content, std::string_view marker, std::size_t start,
                             std::size_t stop, Comparison comparison);

}  // namespace telltale
