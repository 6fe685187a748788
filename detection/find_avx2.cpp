// Built with -mavx2 and called only where the processor has AVX2.
#include <immintrin.h>

#include "detection/simd_find.h"

namespace telltale::simd {
namespace {

struct Avx2 {
  using V = __m256i;
  static constexpr std::size_t kWidth = 32;
  static V Load(const unsigned char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const V*>(p));
  }
  static V Splat(unsigned char c) { return _mm256_set1_epi8(static_cast<char>(c)); }
  static V Equal(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
  static V And(V a, V b) { return _mm256_and_si256(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static std::uint64_t Mask(V v) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v)); }
};

}  // namespace

std::size_t FindAvx2(const unsigned char* data, std::size_t start, std::size_t stop,
                     const MarkerPattern& pattern) {
  return FindAnyLength<Avx2>(data, start, stop, pattern);
}

}  // namespace telltale::simd
