// SPDX-License-Identifier: Apache-2.0
#include "telltale/marker_search.h"

#include <algorithm>

#include "internal/find_kernel.h"

namespace telltale {
namespace {

unsigned char Folded(unsigned char c, Comparison comparison) {
  const bool letter = (c | 0x20U) >= 'a' && (c | 0x20U) <= 'z';
  return comparison == Comparison::kIgnoreCase && letter ? static_cast<unsigned char>(c | 0x20U)
                                                         : c;
}

// For markers the vector kernels are not built for: none is in the table.
std::size_t FindAnyMarker(Bytes content, std::string_view marker, std::size_t start,
                          std::size_t stop, Comparison comparison) {
  const auto found = std::search(
      content.begin() + static_cast<std::ptrdiff_t>(start), content.end(), marker.begin(),
      marker.end(), [comparison](unsigned char a, char b) {
        return Folded(a, comparison) == Folded(static_cast<unsigned char>(b), comparison);
      });
  const auto offset = static_cast<std::size_t>(found - content.begin());
  return offset < stop && found != content.end() ? offset : kNotFound;
}

}  // namespace

std::size_t FindMarkerBefore(Bytes content, std::string_view marker, std::size_t start,
                             std::size_t stop, Comparison comparison) {
  if (start >= content.size() || start >= stop) {
    return kNotFound;
  }
  if (marker.empty() || marker.size() > kMaxMarkerLength) {
    return FindAnyMarker(content, marker, start, stop, comparison);
  }
  if (content.size() < marker.size()) {
    return kNotFound;
  }
  // Only starts at which the whole marker fits.
  const std::size_t last_fit = content.size() - marker.size() + 1;
  if (stop > last_fit) {
    stop = last_fit;
  }
  if (start >= stop) {
    return kNotFound;
  }
  const MarkerPattern pattern = MakeMarkerPattern(marker, comparison);
  const std::size_t found =
      simd::BestKernel()(content.data(), start, stop, pattern, nullptr, nullptr);
  return found == stop ? kNotFound : found;
}

std::size_t FindMarker(Bytes content, std::string_view marker, std::size_t start,
                       Comparison comparison) {
  return FindMarkerBefore(content, marker, start, content.size(), comparison);
}

}  // namespace telltale
