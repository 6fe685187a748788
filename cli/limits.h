// The sizes that bound the scanner's memory, whatever it is given to read.
#pragma once

#include <cstddef>

namespace telltale::cli {

// Bytes read and scanned at a time from one input: small enough that a
// chunk just read is still in the core's cache when it is scanned.
inline constexpr std::size_t kReadChunkSize = std::size_t{256} << 10;

// Positions of later rules' findings kept in memory per rule while an input
// is scanned (they are printed after the first rule's findings); beyond this
// they go to an unnamed temporary file.
inline constexpr std::size_t kHeldPositionsInMemory = std::size_t{1} << 16;

// Output gathered from one input before it is handed on to be printed.
inline constexpr std::size_t kOutputBatchBytes = std::size_t{64} << 10;

// Output of later inputs held back while an earlier one is still being
// scanned; a job that would hold more waits for its turn.
inline constexpr std::size_t kHeldOutputBytes = std::size_t{8} << 20;

}  // namespace telltale::cli
