// SPDX-License-Identifier: Apache-2.0
// The search for the end of a JPEG scan's entropy-coded data. Private to the
// detection library.
#pragma once

#include <cstddef>

namespace telltale {

// The index of the first FF in `data[0, size)` that is neither stuffing (FF
// 00) nor a restart marker (FF D0 to FF D7), or an FF in the last byte, whose
// next byte is not there yet; `size` when there is none.
std::size_t FindEntropyDataEnd(const unsigned char* data, std::size_t size);

}  // namespace telltale
