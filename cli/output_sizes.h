// SPDX-License-Identifier: Apache-2.0
// Every size that bounds telltale-scan's output buffers, in one place.
#pragma once

#include <cstddef>

namespace telltale::cli {

// Output gathered from one input before it is handed on to be printed.
inline constexpr std::size_t kOutputBatchBytes = std::size_t{64} << 10;

// Standard output that is not a terminal is written in blocks of this size.
inline constexpr std::size_t kConsoleBlockBytes = std::size_t{64} << 10;

// Output of later inputs held back while an earlier one is still being
// scanned; a job that would hold more waits for its turn.
inline constexpr std::size_t kHeldOutputBytes = std::size_t{8} << 20;

// What holding one input's place costs besides its text, so that a long run
// of finished inputs waiting behind a slow one is bounded too.
inline constexpr std::size_t kHeldOutputChargePerInput = 128;

}  // namespace telltale::cli
