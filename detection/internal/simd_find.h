// SPDX-License-Identifier: Apache-2.0
// The vector search loops, written once and compiled once per instruction set
// (find_sse2.cpp, find_avx2.cpp). Everything here has
// internal linkage so that no copy built for one instruction set can be
// picked for another.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "internal/find_kernel.h"

namespace telltale::simd {
// This header's anonymous namespace and its definitions are what keeps each
// instruction set's copy apart.
// NOLINTBEGIN(cert-dcl59-cpp,misc-definitions-in-headers)
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

// A pattern's bytes spread over whole vectors. Folded: whether any byte is
// compared ignoring case; exact patterns skip the OR.
template <class Ops, std::size_t L, bool Folded>
struct Splatted {
  typename Ops::V value[L];
  typename Ops::V fold[L];

  explicit Splatted(const MarkerPattern& p) {
    for (std::size_t k = 0; k < L; ++k) {
      value[k] = Ops::Splat(p.value[k]);
      fold[k] = Ops::Splat(p.fold[k]);
    }
  }

  // Hits where the pattern starts, given the vectors loaded at +0, +1, ...
  typename Ops::M Match(const typename Ops::V* loaded) const {
    typename Ops::M hit = Compare(loaded[0], 0);
    for (std::size_t k = 1; k < L; ++k) {
      hit = Ops::And(hit, Compare(loaded[k], k));
    }
    return hit;
  }

  [[nodiscard]] typename Ops::M Compare(typename Ops::V loaded, std::size_t k) const {
    if constexpr (Folded) {
      return Ops::Equal(Ops::Or(loaded, fold[k]), value[k]);
    } else {
      return Ops::Equal(loaded, value[k]);
    }
  }
};

constexpr std::size_t kStride = 64;  // bytes per loop turn, whatever the vector width

// Ops: a vector type V of kWidth bytes and a hit type M, with Load, Splat,
// Equal, And, Or, Any and Bits (one bit a byte,
// lowest byte first).
//
// Returns the first offset in [i, stop) where `find` starts, or stop. When a
// `watch` pattern is given, also sets *watched if it starts anywhere in
// [i, stop) up to the end of the 64-byte stretch where `find` was found; it
// may be set for starts after that, never missed for starts before it.
// data must hold stop + max(LF, LW) - 1 bytes.
template <class Ops, std::size_t LF, std::size_t LW, bool FoldF, bool FoldW>
std::size_t FindWith(const unsigned char* data, std::size_t i, std::size_t stop,
                     const MarkerPattern& find, const MarkerPattern* watch, bool* watched) {
  using V = typename Ops::V;
  using M = typename Ops::M;
  constexpr std::size_t kWidth = Ops::kWidth;
  constexpr std::size_t kUnroll = kStride / kWidth;
  constexpr std::size_t kLoads = std::max(LF, LW);
  const Splatted<Ops, LF, FoldF> find_v(find);
  const Splatted<Ops, std::max<std::size_t>(LW, 1), FoldW> watch_v(watch != nullptr ? *watch
                                                                                    : find);
  M seen = Ops::None();

  for (; i + kStride <= stop; i += kStride) {
    M hits[kUnroll];
    M any = Ops::None();
    for (std::size_t u = 0; u < kUnroll; ++u) {
      V loaded[kLoads];
      for (std::size_t k = 0; k < kLoads; ++k) {
        loaded[k] = Ops::Load(data + i + u * kWidth + k);
      }
      hits[u] = find_v.Match(loaded);
      any = Ops::Or(any, hits[u]);
      if constexpr (LW > 0) {
        seen = Ops::Or(seen, watch_v.Match(loaded));
      }
    }
    if (Ops::Any(any)) {
      std::uint64_t bits = 0;
      for (std::size_t u = 0; u < kUnroll; ++u) {
        bits |= Ops::Bits(hits[u]) << (u * kWidth);
      }
      if constexpr (LW > 0) {
        *watched = *watched || Ops::Any(seen);
      }
      return i + static_cast<std::size_t>(__builtin_ctzll(bits));
    }
  }
  if constexpr (LW > 0) {
    *watched = *watched || Ops::Any(seen);
  }
  for (; i < stop; ++i) {
    if constexpr (LW > 0) {
      *watched = *watched || MatchesHere<LW>(data + i, *watch);
    }
    if (MatchesHere<LF>(data + i, find)) {
      return i;
    }
  }
  return stop;
}

bool IsFolded(const MarkerPattern& p) {
  for (std::size_t k = 0; k < p.length; ++k) {
    if (p.fold[k] != 0) {
      return true;
    }
  }
  return false;
}

template <class Ops, std::size_t LF, bool FoldF>
std::size_t FindWatching(const unsigned char* data, std::size_t start, std::size_t stop,
                         const MarkerPattern& find, const MarkerPattern* watch, bool* watched) {
  static_assert(kMaxMarkerLength == 3, "add a case for the new length");
  if (watch == nullptr) {
    return FindWith<Ops, LF, 0, FoldF, false>(data, start, stop, find, nullptr, nullptr);
  }
  const bool fold = IsFolded(*watch);
  switch (watch->length) {
    case 1:
      return fold ? FindWith<Ops, LF, 1, FoldF, true>(data, start, stop, find, watch, watched)
                  : FindWith<Ops, LF, 1, FoldF, false>(data, start, stop, find, watch, watched);
    case 2:
      return fold ? FindWith<Ops, LF, 2, FoldF, true>(data, start, stop, find, watch, watched)
                  : FindWith<Ops, LF, 2, FoldF, false>(data, start, stop, find, watch, watched);
    default:
      return fold ? FindWith<Ops, LF, 3, FoldF, true>(data, start, stop, find, watch, watched)
                  : FindWith<Ops, LF, 3, FoldF, false>(data, start, stop, find, watch, watched);
  }
}

template <class Ops>
std::size_t FindAnyLength(const unsigned char* data, std::size_t start, std::size_t stop,
                          const MarkerPattern& find, const MarkerPattern* watch, bool* watched) {
  const bool fold = IsFolded(find);
  switch (find.length) {
    case 1:
      return fold ? FindWatching<Ops, 1, true>(data, start, stop, find, watch, watched)
                  : FindWatching<Ops, 1, false>(data, start, stop, find, watch, watched);
    case 2:
      return fold ? FindWatching<Ops, 2, true>(data, start, stop, find, watch, watched)
                  : FindWatching<Ops, 2, false>(data, start, stop, find, watch, watched);
    default:
      return fold ? FindWatching<Ops, 3, true>(data, start, stop, find, watch, watched)
                  : FindWatching<Ops, 3, false>(data, start, stop, find, watch, watched);
  }
}

// The end of a JPEG scan's entropy-coded data: the first FF in
// [0, size) whose next byte is neither 00 (stuffing) nor D0..D7 (a restart
// marker), looking at the byte after each FF in the same vectors. Whole
// steps only: returns the first offset not searched when it finds none, from
// which the caller goes on byte by byte.
template <class Ops>
std::size_t FindEntropyEndWith(const unsigned char* data, std::size_t size) {
  constexpr std::size_t kStep = 2 * Ops::kWidth;
  const typename Ops::V ff = Ops::Splat(0xFF);
  const typename Ops::V zero = Ops::Splat(0);
  const typename Ops::V restart_bits = Ops::Splat(0xF8);
  const typename Ops::V restart = Ops::Splat(0xD0);
  // Stuffing is by far the commonest: restart markers are looked for only
  // where an FF is followed by something else.
  const auto ends_in = [&](typename Ops::M is_ff, const unsigned char* next) {
    const typename Ops::V v = Ops::Load(next);
    std::uint64_t ends = Ops::Bits(is_ff) & ~Ops::Bits(Ops::Equal(v, zero));
    if (ends != 0) {
      ends &= ~Ops::Bits(Ops::Equal(Ops::And(v, restart_bits), restart));
    }
    return ends;
  };
  std::size_t at = 0;
  for (; at + kStep < size; at += kStep) {  // each step reads one byte past itself
    const typename Ops::M low = Ops::Equal(Ops::Load(data + at), ff);
    const typename Ops::M high = Ops::Equal(Ops::Load(data + at + Ops::kWidth), ff);
    if (!Ops::Any(Ops::Or(low, high))) {
      continue;
    }
    const std::uint64_t ends =
        ends_in(low, data + at + 1) | (ends_in(high, data + at + Ops::kWidth + 1) << Ops::kWidth);
    if (ends != 0) {
      return at + static_cast<std::size_t>(__builtin_ctzll(ends));
    }
  }
  return at;
}

}  // namespace
// NOLINTEND(cert-dcl59-cpp,misc-definitions-in-headers)
}  // namespace telltale::simd
