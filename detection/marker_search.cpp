#include "detection/marker_search.h"

#include "detection/marker_pattern.h"

namespace telltale {
namespace {

bool IsAsciiLetter(unsigned char c) { return (c | 0x20U) >= 'a' && (c | 0x20U) <= 'z'; }

unsigned char ToLowerAscii(unsigned char c) {
  return IsAsciiLetter(c) ? static_cast<unsigned char>(c | 0x20U) : c;
}

bool SameUnder(unsigned char a, unsigned char b, Comparison comparison) {
  return comparison == Comparison::kIgnoreCase ? ToLowerAscii(a) == ToLowerAscii(b) : a == b;
}

simd::FindKernel ChooseKernel() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) {
    return simd::FindAvx2;
  }
  return simd::FindSse2;
#else
  return simd::FindPortable;
#endif
}

}  // namespace

MarkerPattern MakeMarkerPattern(std::string_view marker, Comparison comparison) {
  MarkerPattern pattern{};
  pattern.length = marker.size();
  for (std::size_t k = 0; k < marker.size(); ++k) {
    const auto c = static_cast<unsigned char>(marker[k]);
    const bool folded = comparison == Comparison::kIgnoreCase && IsAsciiLetter(c);
    pattern.value[k] = folded ? ToLowerAscii(c) : c;
    pattern.fold[k] = folded ? 0x20 : 0;
  }
  return pattern;
}

namespace {

bool MatchesPattern(const unsigned char* at, const MarkerPattern& pattern) {
  for (std::size_t k = 0; k < pattern.length; ++k) {
    if ((at[k] | pattern.fold[k]) != pattern.value[k]) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::size_t simd::FindPortable(const unsigned char* data, std::size_t start, std::size_t stop,
                               const MarkerPattern& find, const MarkerPattern* watch,
                               bool* watched) {
  for (std::size_t i = start; i < stop; ++i) {
    if (watch != nullptr && MatchesPattern(data + i, *watch)) {
      *watched = true;
    }
    if (MatchesPattern(data + i, find)) {
      return i;
    }
  }
  return stop;
}

simd::FindKernel simd::BestKernel() {
  static const FindKernel kernel = ChooseKernel();
  return kernel;
}

bool MatchesAt(Bytes content, std::size_t offset, std::string_view marker, Comparison comparison) {
  if (offset > content.size() || content.size() - offset < marker.size()) {
    return false;
  }
  for (std::size_t k = 0; k < marker.size(); ++k) {
    if (!SameUnder(content[offset + k], static_cast<unsigned char>(marker[k]), comparison)) {
      return false;
    }
  }
  return true;
}

std::size_t FindMarkerReference(Bytes content, std::string_view marker, std::size_t start,
                                Comparison comparison) {
  for (std::size_t p = start; p < content.size(); ++p) {
    if (MatchesAt(content, p, marker, comparison)) {
      return p;
    }
  }
  return kNotFound;
}

std::size_t FindMarkerBefore(Bytes content, std::string_view marker, std::size_t start,
                             std::size_t stop, Comparison comparison) {
  if (marker.empty() || marker.size() > kMaxMarkerLength) {
    // No such marker is in the table; the plain search answers for it.
    const std::size_t found = FindMarkerReference(content, marker, start, comparison);
    return found < stop ? found : kNotFound;
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
