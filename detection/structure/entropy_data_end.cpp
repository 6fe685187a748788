// SPDX-License-Identifier: Apache-2.0
#include "structure/entropy_data_end.h"

#include "internal/find_kernel.h"

namespace telltale {

// Most of a photo's bytes are entropy-coded data, with a stuffed FF 00 every
// few hundred bytes: memchr would stop at each of them. The vector kernel
// looks at the byte after every FF in the same loads and stops only at the
// end; the last bytes are looked at one by one.
std::size_t FindEntropyDataEnd(const unsigned char* data, std::size_t size) {
  static const simd::EntropyEndKernel kernel = simd::BestEntropyEndKernel();
  std::size_t at = kernel != nullptr ? kernel(data, size) : 0;
  for (; at < size; ++at) {
    if (data[at] != 0xFF) {
      continue;
    }
    if (at + 1 == size) {
      return at;  // its next byte is not there yet
    }
    const unsigned char next = data[at + 1];
    if (next != 0 && (next & 0xF8U) != 0xD0U) {
      return at;
    }
  }
  return size;
}

}  // namespace telltale
