// SPDX-License-Identifier: Apache-2.0
// Reading and writing whole buffers through file descriptors.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace telltale {

// Each call retries on EINTR and, but for ReadSome and ReadAvailable, on
// short transfers, and but for ReadAvailable waits on a descriptor left
// non-blocking by whoever opened it (an inherited standard stream) instead of
// failing with EAGAIN. Failures are std::system_error
// whose what() starts with `name`.

// Reads from where `fd` stands until `buffer` is full or the input ends;
// returns the count, fewer than asked only at the end.
std::size_t ReadFully(int fd, std::span<unsigned char> buffer, const std::string& name);

// The same, but a non-blocking descriptor that would wait (EAGAIN) has
// ended too: what it has to give now is all that is read, so that a file
// which produces its content on demand (/proc/kmsg) cannot hold a scan.
std::size_t ReadAvailable(int fd, std::span<unsigned char> buffer, const std::string& name);

// Reads from `offset` on, for descriptors that can be read at an offset,
// until `buffer` is full or the input ends.
std::size_t ReadFullyAt(int fd, std::uint64_t offset, std::span<unsigned char> buffer,
                        const std::string& name);

// Reads what `fd` has to give, at most `buffer.size()` bytes (not 0): from a
// pipe or a terminal, what has been written so far, waiting only while
// nothing has. Returns the count, 0 only at the end of the input.
std::size_t ReadSome(int fd, std::span<unsigned char> buffer, const std::string& name);

// Writes every byte of `text`.
void WriteFully(int fd, std::string_view text, const std::string& name);

}  // namespace telltale
