// The search primitive: where does a marker next occur in a byte buffer?
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "detection/signature_table.h"

namespace telltale {

using Bytes = std::span<const unsigned char>;

inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// True when the marker occurs at `offset` (0-based) under `comparison`,
// wholly inside `content`.
bool MatchesAt(Bytes content, std::size_t offset, std::string_view marker, Comparison comparison);

// The plain definition: the smallest 0-based offset >= start at which the
// marker occurs, or kNotFound. Kept simple on purpose; the fast scan is
// checked against it.
std::size_t FindMarkerReference(Bytes content, std::string_view marker, std::size_t start,
                                Comparison comparison);

// The same answer as FindMarkerReference, compared 16 or 32 bytes at a time.
std::size_t FindMarker(Bytes content, std::string_view marker, std::size_t start,
                       Comparison comparison);

// As FindMarker, but only occurrences that start before `stop` (they may end
// past it).
std::size_t FindMarkerBefore(Bytes content, std::string_view marker, std::size_t start,
                             std::size_t stop, Comparison comparison);

}  // namespace telltale
