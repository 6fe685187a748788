// SPDX-License-Identifier: Apache-2.0
#include "internal/find_kernel.h"

namespace telltale {
namespace {

bool IsAsciiLetter(unsigned char c) { return (c | 0x20U) >= 'a' && (c | 0x20U) <= 'z'; }

bool MatchesPattern(const unsigned char* at, const MarkerPattern& pattern) {
  for (std::size_t k = 0; k < pattern.length; ++k) {
    if ((at[k] | pattern.fold[k]) != pattern.value[k]) {
      return false;
    }
  }
  return true;
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

simd::EntropyEndKernel ChooseEntropyEndKernel() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) {
    return simd::FindEntropyEndAvx2;
  }
  return simd::FindEntropyEndSse2;
#else
  return nullptr;
#endif
}

}  // namespace

MarkerPattern MakeMarkerPattern(std::string_view marker, Comparison comparison) {
  MarkerPattern pattern{};
  pattern.length = marker.size();
  for (std::size_t k = 0; k < marker.size(); ++k) {
    const auto c = static_cast<unsigned char>(marker[k]);
    const bool folded = comparison == Comparison::kIgnoreCase && IsAsciiLetter(c);
    pattern.value[k] = folded ? static_cast<unsigned char>(c | 0x20U) : c;
    pattern.fold[k] = folded ? 0x20 : 0;
  }
  return pattern;
}

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

simd::EntropyEndKernel simd::BestEntropyEndKernel() {
  static const EntropyEndKernel kernel = ChooseEntropyEndKernel();
  return kernel;
}

}  // namespace telltale
