// SPDX-License-Identifier: Apache-2.0
// The search kernel: a marker prepared for comparing many positions at once,
// the kernels that search with it, and the choice of the fastest one for this
// processor. Private to the detection library.
#pragma once

#include <cstddef>
#include <string_view>

#include "telltale/signature_table.h"

namespace telltale {

// A byte b matches marker byte k when (b | fold[k]) == value[k]. For an ASCII
// letter compared ignoring case, fold is 0x20 and value the lower-case form:
// only the letter's two forms satisfy that. Every other byte has fold 0.
// Plain arrays on purpose: this type is also used in code built for other
// instruction sets, which must not emit shared inline library functions.
struct MarkerPattern {
  unsigned char value[kMaxMarkerLength];
  unsigned char fold[kMaxMarkerLength];
  std::size_t length;
};

MarkerPattern MakeMarkerPattern(std::string_view marker, Comparison comparison);

namespace simd {

// Each returns the first offset i in [start, stop) at which `find` matches
// data[i .. i+length), or stop when there is none. With a `watch` pattern it
// also sets *watched when that pattern starts anywhere in [start, i] (and
// possibly a little beyond): a cheap look at a second marker during the same
// pass. The caller guarantees that data holds stop + L - 1 bytes, L being
// the longer pattern's length.
using FindKernel = std::size_t (*)(const unsigned char* data, std::size_t start, std::size_t stop,
                                   const MarkerPattern& find, const MarkerPattern* watch,
                                   bool* watched);

std::size_t FindPortable(const unsigned char* data, std::size_t start, std::size_t stop,
                         const MarkerPattern& find, const MarkerPattern* watch, bool* watched);
#if defined(__x86_64__)
std::size_t FindSse2(const unsigned char* data, std::size_t start, std::size_t stop,
                     const MarkerPattern& find, const MarkerPattern* watch, bool* watched);
std::size_t FindAvx2(const unsigned char* data, std::size_t start, std::size_t stop,
                     const MarkerPattern& find, const MarkerPattern* watch, bool* watched);
#endif

// The fastest kernel this processor runs, chosen once.
FindKernel BestKernel();

// The first offset in [0, size) of an FF that ends a JPEG scan's
// entropy-coded data, or where the kernel stopped searching (see
// FindEntropyEndWith); data holds size bytes.
using EntropyEndKernel = std::size_t (*)(const unsigned char* data, std::size_t size);
#if defined(__x86_64__)
std::size_t FindEntropyEndSse2(const unsigned char* data, std::size_t size);
std::size_t FindEntropyEndAvx2(const unsigned char* data, std::size_t size);
#endif
// The fastest one, chosen once; none where there is no vector kernel.
EntropyEndKernel BestEntropyEndKernel();

}  // namespace simd
}  // namespace telltale
