// SPDX-License-Identifier: Apache-2.0
// SSE2 is part of every x86-64 processor: the baseline vector search.
#include <emmintrin.h>

#include "internal/simd_find.h"

namespace telltale::simd {
namespace {

struct Sse2 {
  using V = __m128i;
  using M = __m128i;
  static constexpr std::size_t kWidth = 16;
  static V Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static V Splat(unsigned char c) { return _mm_set1_epi8(static_cast<char>(c)); }
  static M None() { return _mm_setzero_si128(); }
  static M Equal(V a, V b) { return _mm_cmpeq_epi8(a, b); }
  static M And(M a, M b) { return _mm_and_si128(a, b); }
  static M Or(M a, M b) { return _mm_or_si128(a, b); }
  static bool Any(M m) { return _mm_movemask_epi8(m) != 0; }
  static std::uint64_t Bits(M m) { return static_cast<std::uint32_t>(_mm_movemask_epi8(m)); }
};

}  // namespace

std::size_t FindSse2(const unsigned char* data, std::size_t start, std::size_t stop,
                     const MarkerPattern& find, const MarkerPattern* watch, bool* watched) {
  return FindAnyLength<Sse2>(data, start, stop, find, watch, watched);
}

std::size_t FindEntropyEndSse2(const unsigned char* data, std::size_t size) {
  return FindEntropyEndWith<Sse2>(data, size);
}

}  // namespace telltale::simd
