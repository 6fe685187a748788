// The vector search loop, written once and compiled once per instruction set
// (find_sse2.cpp, find_avx2.cpp). Everything here has internal linkage so that
// no copy built for one instruction set can be picked for another.
#pragma once

#include <cstddef>
#include <cstdint>

#include "detection/marker_pattern.h"

namespace telltale::simd {
namespace {

template <std::size_t L>
bool MatchesHere(const unsigned char* at, const MarkerPattern& p) {
  for (std::size_t k = 0; k < L; ++k) {
    if ((at[k] | p.fold[k]) != p.value[k]) {
      return false;
    }
  }
  return true;
}

// Ops: a vector type V of kWidth bytes with Load, Splat, Equal, And, Or and
// Mask (one bit a byte, lowest byte first).
template <class Ops, std::size_t L>
std::size_t FindWith(const unsigned char* data, std::size_t i, std::size_t stop,
                     const MarkerPattern& p) {
  using V = typename Ops::V;
  constexpr std::size_t kWidth = Ops::kWidth;
  constexpr std::size_t kUnroll = 64 / kWidth;
  V value[L];
  V fold[L];
  for (std::size_t k = 0; k < L; ++k) {
    value[k] = Ops::Splat(p.value[k]);
    fold[k] = Ops::Splat(p.fold[k]);
  }
  // Bit j is set when the marker matches at at + j.
  auto mask_at = [&](const unsigned char* at) -> std::uint64_t {
    V hit = Ops::Equal(Ops::Or(Ops::Load(at), fold[0]), value[0]);
    for (std::size_t k = 1; k < L; ++k) {
      hit = Ops::And(hit, Ops::Equal(Ops::Or(Ops::Load(at + k), fold[k]), value[k]));
    }
    return Ops::Mask(hit);
  };
  for (; i + 64 <= stop; i += 64) {
    std::uint64_t hits = 0;
    for (std::size_t u = 0; u < kUnroll; ++u) {
      hits |= mask_at(data + i + u * kWidth) << (u * kWidth);
    }
    if (hits != 0) {
      return i + static_cast<std::size_t>(__builtin_ctzll(hits));
    }
  }
  for (; i + kWidth <= stop; i += kWidth) {
    if (const std::uint64_t hits = mask_at(data + i); hits != 0) {
      return i + static_cast<std::size_t>(__builtin_ctzll(hits));
    }
  }
  for (; i < stop; ++i) {
    if (MatchesHere<L>(data + i, p)) {
      return i;
    }
  }
  return stop;
}

template <class Ops>
std::size_t FindAnyLength(const unsigned char* data, std::size_t start, std::size_t stop,
                          const MarkerPattern& p) {
  static_assert(kMaxMarkerLength == 3, "add a case for the new length");
  switch (p.length) {
    case 1:
      return FindWith<Ops, 1>(data, start, stop, p);
    case 2:
      return FindWith<Ops, 2>(data, start, stop, p);
    default:
      return FindWith<Ops, 3>(data, start, stop, p);
  }
}

}  // namespace
}  // namespace telltale::simd
