// One input scanned in chunks: memory stays the same whatever its size.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>

#include "cli/report_lines.h"
#include "detection/file_reading.h"
#include "detection/scan_content.h"

namespace telltale::cli {

// Fills the buffer as far as the input allows and returns the count; fewer
// than asked only at the input's end. Throws std::system_error.
using ChunkReader = std::function<std::size_t(std::span<unsigned char>)>;

// Called after each chunk with the number of bytes it held.
using ChunkDone = std::function<void(std::size_t)>;

// Reads an open file up to the size it had when it was opened: bytes added
// meanwhile are left alone, and a file that shrinks meanwhile is a failure.
ChunkReader FileChunks(const ScanFile& file);

// Reads a descriptor, such as standard input, to its end. `name` is used in
// the messages of failures.
ChunkReader DescriptorChunks(int fd, std::string name);

// Reports every finding in report order: the first rule's as they are found,
// the later rules' held back (see HeldPositions) until the input's end.
// `name` is used in the messages of failures.
FindingCounts ScanInReportOrder(const ChunkReader& read, std::size_t chunk_size,
                                const std::string& name, const FindingCallback& on_finding,
                                const ChunkDone& on_chunk);

// Only counts the findings of each rule.
FindingCounts CountFindings(const ChunkReader& read, std::size_t chunk_size,
                            const ChunkDone& on_chunk);

}  // namespace telltale::cli
