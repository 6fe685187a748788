// SPDX-License-Identifier: Apache-2.0
// Built with -mavx2 and called only where the processor has AVX2.
#include <immintrin.h>

#include "internal/simd_find.h"

namespace telltale::simd {
namespace {

struct Avx2 {
  using V = __m256i;
  using M = __m256i;
  static constexpr std::size_t kWidth = 32;
  static V Load(const unsigned char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const V*>(p));
  }
  static V Splat(unsigned char c) { return _mm256_set1_epi8(static_cast<char>(c)); }
  static M None() { return _mm256_setzero_si256(); }
  static M Equal(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
  static M And(M a, M b) { return _mm256_and_si256(a, b); }
  static M Or(M a, M b) { return _mm256_or_si256(a, b); }
  static bool Any(M m) { return _mm256_testz_si256(m, m) == 0; }
  static std::uint64_t Bits(M m) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(m)); }
};

}  // namespace

std::size_t FindAvx2(const unsigned char* data, std::size_t start, std::size_t stop,
                     const MarkerPattern& find, const MarkerPattern* watch, bool* watched) {
  return FindAnyLength<Avx2>(data, start, stop, find, watch, watched);
}

std::size_t FindEntropyEndAvx2(const unsigned char* data, std::size_t size) {
  return FindEntropyEndWith<Avx2>(data, size);
}

}  // namespace telltale::simd
